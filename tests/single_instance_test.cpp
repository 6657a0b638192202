// Another local user who gets to the data folder's socket name first must
// neither keep the window from opening (by answering in the owner's place)
// nor the recorder from listening.
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace nimbrel;

namespace {

const QString kKey = QStringLiteral("nimbrel-tester-0123456789abcdef");

// A process of user "nobody" listening at `path`, answering "window" to
// whoever connects. Returns its pid once it listens; -1 when it cannot.
pid_t foreignSquatter(const QString &path)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const QByteArray native = QFile::encodeName(path);
    const pid_t pid = ::fork();
    if (pid == 0) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0)
            ::_exit(1);
        (void)!::write(ready[1], "1", 1);
        for (int peer; (peer = ::accept(fd, nullptr, nullptr)) >= 0; ::close(peer))
            (void)!::write(peer, "window\n", 7);
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool listening = pid > 0 && ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    return listening ? pid : -1;
}

// The window does not take the squatter for the owner, and the recorder
// listens where a later start of the same user finds it.
void expectSquatterIgnored(const QString &dataFolder)
{
    SingleInstance window(kKey, dataFolder);
    EXPECT_EQ(window.askForStation(2000), SingleInstance::Answer::NoAnswer);
    EXPECT_FALSE(window.notifyRunning());
    SingleInstance recorder(kKey, dataFolder);
    recorder.setOwner(SingleInstance::Owner::Recorder);
    ASSERT_TRUE(recorder.listen());
    QLocalSocket probe;
    probe.connectToServer(recorder.socketPaths().value(0));
    ASSERT_TRUE(probe.waitForConnected(2000));
    EXPECT_EQ(SingleInstance::peerUid(probe.socketDescriptor()), static_cast<long long>(::geteuid()));
}

}  // namespace

// The old place, the shared temporary folder, taken by a squatter: the
// socket lives in the user's runtime folder now (one others may write in is
// passed by for the data folder), so the squatter is never even asked.
TEST(SocketPlace, ASquatterOfTheSharedTemporaryFolderIsNeverAsked)
{
    QTemporaryDir runtime;
    QTemporaryDir data;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::Permissions(0x7777)));
    EXPECT_EQ(SingleInstance(kKey, data.path()).socketPaths(), QStringList{data.filePath(QLatin1Char('.') + kKey)});
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_EQ(SingleInstance(kKey, data.path()).socketPaths().value(0), QDir(runtime.path()).filePath(kKey));

    QLocalServer squatter;
    QLocalServer::removeServer(kKey);
    ASSERT_TRUE(squatter.listen(kKey));
    expectSquatterIgnored(data.path());
    QCoreApplication::processEvents();
    EXPECT_FALSE(squatter.hasPendingConnections());
}

// Another user's process at the socket's name (a data folder others may
// write in) answers "window": not trusted, and its socket is taken over.
TEST(SocketPlace, AnotherUsersAnswerIsNotTrustedAndItsSocketIsTakenOver)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a process of another user can only be started as root";
    QTemporaryDir data;
    ASSERT_TRUE(QFile::setPermissions(data.path(), QFile::Permissions(0x7777)));
    qunsetenv("XDG_RUNTIME_DIR");
    const pid_t squatter = foreignSquatter(SingleInstance(kKey, data.path()).socketPaths().value(0));
    ASSERT_GT(squatter, 0);
    expectSquatterIgnored(data.path());
    ::kill(squatter, SIGKILL);
    ::waitpid(squatter, nullptr, 0);
}

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

// XDG_RUNTIME_DIR set for one test, as it was afterwards.
class RuntimeFolder {
public:
    explicit RuntimeFolder(const QString &path) : old_(qgetenv("XDG_RUNTIME_DIR")), had_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
    {
        if (path.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path));
    }
    ~RuntimeFolder()
    {
        if (had_)
            qputenv("XDG_RUNTIME_DIR", old_);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }

private:
    QByteArray old_;
    bool had_;
};

// A process of another user listening at `path` that answers "window" to
// whoever connects. Needs root to change its user; killed at the end.
class ForeignSquatter {
public:
    explicit ForeignSquatter(const QString &path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        const QByteArray native = QFile::encodeName(path);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(1);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
            if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0)
                ::_exit(1);
            const char one = 1;
            (void)!::write(ready[1], &one, 1);
            for (;;) {
                const int peer = ::accept(fd, nullptr, nullptr);
                if (peer >= 0) {
                    (void)!::write(peer, "window\n", 7);
                    ::close(peer);
                }
            }
        }
        ::close(ready[1]);
        char byte = 0;
        listening_ = pid_ > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~ForeignSquatter()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool listening() const { return listening_; }

private:
    pid_t pid_ = -1;
    bool listening_ = false;
};

// The owner listens where a later start of the same user finds it.
void expectOwnerHeard(const SingleInstance &owner)
{
    QLocalSocket probe;
    probe.connectToServer(owner.socketPaths().value(0));
    ASSERT_TRUE(probe.waitForConnected(2000)) << qPrintable(owner.socketPaths().join(QLatin1Char(' ')));
    EXPECT_EQ(SingleInstance::peerUid(probe.socketDescriptor()), static_cast<long long>(::geteuid()));
}

}  // namespace

// The runtime folder is used only when it is the user's alone; the data
// folder stands in otherwise.
TEST(SocketPlace, TheUsersRuntimeFolderOrElseTheDataFolder)
{
    QTemporaryDir runtime;
    QTemporaryDir data;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    {
        RuntimeFolder set(runtime.path());
        EXPECT_EQ(SingleInstance(kKey, data.path()).socketPaths(),
                  QStringList({QDir(runtime.path()).filePath(kKey), QDir(data.path()).filePath(QLatin1Char('.') + kKey)}));
    }
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::Permissions(0x7777)));
    {
        RuntimeFolder set(runtime.path());
        EXPECT_EQ(SingleInstance(kKey, data.path()).socketPaths(),
                  QStringList{QDir(data.path()).filePath(QLatin1Char('.') + kKey)})
            << "a runtime folder others may write in is passed by";
    }
    {
        RuntimeFolder unset{QString()};
        const QString longFolder = data.path() + QLatin1Char('/') + QString(100, QLatin1Char('d'));
        EXPECT_EQ(SingleInstance(kKey, longFolder).socketPaths(), QStringList{QDir(QDir::tempPath()).filePath(kKey)})
            << "a path too long for a socket address";
    }
}

// The old place, the shared temporary folder, taken by a squatter: the
// window never meets it, and the recorder listens in the runtime folder.
TEST(SocketPlace, ASquatterOfTheSharedTemporaryFolderIsNeverAsked)
{
    QTemporaryDir runtime;
    QTemporaryDir data;
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    RuntimeFolder set(runtime.path());
    QLocalServer squatter;
    QLocalServer::removeServer(kKey);
    ASSERT_TRUE(squatter.listen(kKey));
    ASSERT_TRUE(squatter.fullServerName().startsWith(QDir::tempPath()));

    SingleInstance window(kKey, data.path());
    EXPECT_EQ(window.askForStation(200), SingleInstance::Answer::NoAnswer);
    EXPECT_FALSE(window.notifyRunning());
    QCoreApplication::processEvents();
    EXPECT_FALSE(squatter.hasPendingConnections());

    SingleInstance recorder(kKey, data.path());
    recorder.setOwner(SingleInstance::Owner::Recorder);
    ASSERT_TRUE(recorder.listen());
    expectOwnerHeard(recorder);
}

// Another user's process listening at the socket's name (a data folder that
// others may write in) answers "window": the answer is not trusted, and the
// recorder takes the name over.
TEST(SocketPlace, AnotherUsersAnswerIsNotTrustedAndItsSocketIsTakenOver)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "a process of another user can only be started as root";
    QTemporaryDir data;
    ASSERT_TRUE(QFile::setPermissions(data.path(), QFile::Permissions(0x7777)));
    RuntimeFolder unset{QString()};
    SingleInstance window(kKey, data.path());
    ForeignSquatter squatter(window.socketPaths().value(0));
    ASSERT_TRUE(squatter.listening());

    EXPECT_EQ(window.askForStation(2000), SingleInstance::Answer::NoAnswer);
    EXPECT_FALSE(window.notifyRunning());

    SingleInstance recorder(kKey, data.path());
    recorder.setOwner(SingleInstance::Owner::Recorder);
    ASSERT_TRUE(recorder.listen());
    expectOwnerHeard(recorder);
}

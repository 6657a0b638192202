// The data folder: a folder already in use stays in use, any other start
// goes to $XDG_DATA_HOME/nimbrel, --data-dir wins; and the program really
// creates its tables there.
#include "DataFolder.h"
#include "DataFolderLock.h"
#include "support/ProcessRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

using namespace nimbrel;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value) : name_(name), had_(qEnvironmentVariableIsSet(name))
    {
        old_ = qgetenv(name);
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(DataFolder, ChoosesByWhatTheStartFolderHolds)
{
    QTemporaryDir home;
    const ScopedEnv xdg("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("xdg"))));
    const QString user = home.filePath(QStringLiteral("xdg/nimbrel"));
    struct Case {
        const char *file;  // what the start folder holds; null: nothing
        const char *chosen;
        bool keepsStartFolder;
    } cases[] = {
        {nullptr, "", false},   {"datat", "", true},        {"datsum", "", true},
        {"libUSB.so", "", true}, {"citycodes", "", false}, {"datat", "elsewhere", false},
    };
    for (const Case &c : cases) {
        QTemporaryDir start;
        if (c.file)
            touch(start.filePath(QString::fromLatin1(c.file)));
        const QString chosen = chooseDataFolder(QString::fromLatin1(c.chosen), start.path());
        const QString expected = *c.chosen ? start.filePath(QString::fromLatin1(c.chosen))
                                 : c.keepsStartFolder ? QDir(start.path()).absolutePath()
                                                      : user;
        EXPECT_EQ(chosen, QDir::cleanPath(expected)) << (c.file ? c.file : "(empty)") << " / " << c.chosen;
    }
}

TEST(DataFolder, XdgDataHomeMustBeAbsolute)
{
    const ScopedEnv home("HOME", "/home/someone");
    for (const char *value : {"", "relative/share"}) {
        const ScopedEnv xdg("XDG_DATA_HOME", value);
        EXPECT_EQ(userDataFolder(), QStringLiteral("/home/someone/.local/share/nimbrel")) << value;
    }
    const ScopedEnv unset("XDG_DATA_HOME", QByteArray());
    EXPECT_EQ(userDataFolder(), QStringLiteral("/home/someone/.local/share/nimbrel"));
}

TEST(DataFolder, LinkLibrarySearchOrderHasNoRepeats)
{
    EXPECT_EQ(linkLibraryFolders(QStringLiteral("/data"), QStringLiteral("/data"), QStringLiteral("/usr/bin")),
              (QStringList{QStringLiteral("/data"), QStringLiteral("/usr/bin"), privateLibraryFolder(QStringLiteral("/usr/bin"))}));
    EXPECT_TRUE(privateLibraryFolder(QStringLiteral("/usr/bin")).startsWith(QStringLiteral("/usr/lib")));
    EXPECT_TRUE(privateLibraryFolder(QStringLiteral("/usr/bin")).endsWith(QStringLiteral("/nimbrel")));
}

TEST(DataFolder, CannotUseAFileAsTheFolder)
{
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("plain")));
    QString why;
    EXPECT_FALSE(prepareDataFolder(dir.filePath(QStringLiteral("plain")), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("not a folder")));
    EXPECT_TRUE(prepareDataFolder(dir.filePath(QStringLiteral("a/b")), &why));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("a/b"))).isDir());
}

// The program started in an empty folder (no link library anywhere, so it
// stops after opening its tables) keeps its files in the user's data folder,
// or in --data-dir; the start folder is left untouched.
TEST(DataFolder, ProgramCreatesItsTablesThere)
{
    QTemporaryDir root;
    const QString start = root.filePath(QStringLiteral("start"));
    ASSERT_TRUE(QDir().mkpath(start));
    const QString binary = root.filePath(QStringLiteral("nimbrel"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(NIMBREL_BINARY), binary));
    const QMap<QString, QString> env{{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")},
                                     {QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("xdg"))}};
    const QString dump = QStringLiteral("--dump-ui=") + root.filePath(QStringLiteral("ui.json"));
    const struct {
        QStringList arguments;
        QString folder;
    } cases[] = {
        {{dump}, root.filePath(QStringLiteral("xdg/nimbrel"))},
        {{dump, QStringLiteral("--data-dir"), QStringLiteral("../chosen")}, root.filePath(QStringLiteral("chosen"))},
    };
    for (const auto &c : cases) {
        const test::ProcessRun run = test::runProcess(binary, c.arguments, start, env);
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        EXPECT_TRUE(QFileInfo::exists(QDir(c.folder).filePath(QStringLiteral("datat")))) << c.folder.toStdString();
        EXPECT_TRUE(QDir(start).isEmpty()) << QDir(start).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).join(' ').toStdString();
    }
}

}  // namespace

// ---- One program per data folder -------------------------------------------

TEST(DataFolderLock, TakesALockNobodyHoldsAndRefusesOneThatIsHeld)
{
    struct Row {
        const char *situation;
        // Leaves something in the folder; what it returns is held meanwhile.
        std::function<std::shared_ptr<void>(const QString &folder)> leave;
        DataFolderLock::State expected;
    };
    const auto lockFile = [](const QString &folder) { return QDir(folder).filePath(DataFolderLock::fileName()); };
    const Row rows[] = {
        {"nothing", [](const QString &) { return std::shared_ptr<void>(); }, DataFolderLock::State::Held},
        {"the lock of a program that died (its process is gone)",
         [&](const QString &folder) {
             QFile file(lockFile(folder));
             EXPECT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(QByteArray("99999999\nnimbrel\n") + QSysInfo::machineHostName().toUtf8() + "\n");
             return std::shared_ptr<void>();
         },
         DataFolderLock::State::Held},
        {"an empty lock file, left by a crash while it was made",
         [&](const QString &folder) {
             touch(lockFile(folder));
             return std::shared_ptr<void>();
         },
         DataFolderLock::State::Held},
        {"a running program's lock",
         [](const QString &folder) {
             auto other = std::make_shared<DataFolderLock>(folder);
             EXPECT_EQ(other->tryLock(), DataFolderLock::State::Held);
             return std::shared_ptr<void>(other);
         },
         DataFolderLock::State::HeldByOther},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.situation);
        QTemporaryDir dir;
        const std::shared_ptr<void> held = row.leave(dir.path());
        DataFolderLock lock(dir.path());
        EXPECT_EQ(lock.tryLock(), row.expected);
        if (row.expected == DataFolderLock::State::HeldByOther) {
            EXPECT_EQ(lock.holderPid(), QCoreApplication::applicationPid());
            EXPECT_EQ(lock.errorString(),
                      QStringLiteral("Another Nimbrel (process %1) is using the data folder %2.")
                          .arg(QCoreApplication::applicationPid())
                          .arg(dir.path()));
        }
    }
}

TEST(DataFolderLock, OneFolderHasOneSocketWhateverItIsCalled)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("a/b"))));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("a/b")), dir.filePath(QStringLiteral("link"))));
    const QString name = DataFolderLock::socketName(dir.filePath(QStringLiteral("a/b")), QStringLiteral("ann"));
    EXPECT_TRUE(name.startsWith(QStringLiteral("nimbrel-ann-")));
    EXPECT_EQ(DataFolderLock::socketName(dir.filePath(QStringLiteral("a/../a/b")), QStringLiteral("ann")), name);
    EXPECT_EQ(DataFolderLock::socketName(dir.filePath(QStringLiteral("link")), QStringLiteral("ann")), name);
    EXPECT_NE(DataFolderLock::socketName(dir.filePath(QStringLiteral("a")), QStringLiteral("ann")), name);
    EXPECT_NE(DataFolderLock::socketName(dir.filePath(QStringLiteral("a/b")), QStringLiteral("bob")), name);
}

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

// A user who put nimbrel.ini where the program is started (not the data
// folder) is told where it belongs; the folder in use is always named; and
// --help names the program and every option.
TEST(DataFolder, ProgramNamesItsFolderAndAStraySettingsFile)
{
    QTemporaryDir root;
    const QString start = root.filePath(QStringLiteral("start"));
    ASSERT_TRUE(QDir().mkpath(start));
    touch(QDir(start).filePath(QStringLiteral("nimbrel.ini")));
    const QString chosen = root.filePath(QStringLiteral("chosen"));
    const QMap<QString, QString> env{{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
    const test::ProcessRun run =
        test::runProcess(QStringLiteral(NIMBREL_BINARY),
                         {QStringLiteral("--data-dir"), chosen, QStringLiteral("--dump-ui"),
                          root.filePath(QStringLiteral("ui.json"))},
                         start, env);
    const QString err = QString::fromUtf8(run.err);
    EXPECT_TRUE(err.contains(QStringLiteral("data folder ") + chosen)) << err.toStdString();
    EXPECT_TRUE(err.contains(QDir(start).filePath(QStringLiteral("nimbrel.ini")) + QStringLiteral(" is not read")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("belong in ") + QDir(chosen).filePath(QStringLiteral("nimbrel.ini"))))
        << err.toStdString();

    const test::ProcessRun help = test::runProcess(QStringLiteral(NIMBREL_BINARY), {QStringLiteral("--help")}, start, env);
    const QString out = QString::fromUtf8(help.out);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(out.startsWith(QStringLiteral("Usage: nimbrel "))) << out.toStdString();
    for (const char *option : {"--help", "--version", "--clock", "--dump-ui", "--screenshot", "--open-history",
                               "--action", "--data-dir"})
        EXPECT_TRUE(out.contains(QLatin1String(option))) << option;
}

}  // namespace

// ---- One program per data folder -------------------------------------------

TEST(DataFolderLock, TakesALockNobodyHoldsAndRefusesOneThatIsHeld)
{
    const struct {
        const char *situation;
        QByteArray lockFile;  // left in the folder; null: none
        bool heldHere;        // another lock of this process holds the folder
        DataFolderLock::State expected;
    } rows[] = {
        {"nothing", {}, false, DataFolderLock::State::Held},
        {"the lock of a program whose process is gone",
         "99999999\nnimbrel\n" + QSysInfo::machineHostName().toUtf8() + "\n", false, DataFolderLock::State::Held},
        {"an empty lock file, left by a crash while it was made", "", false, DataFolderLock::State::Held},
        {"a running program's lock", {}, true, DataFolderLock::State::HeldByOther},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.situation);
        QTemporaryDir dir;
        if (!row.lockFile.isNull()) {
            QFile file(QDir(dir.path()).filePath(DataFolderLock::fileName()));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(row.lockFile);
        }
        DataFolderLock other(dir.path());
        ASSERT_EQ(row.heldHere ? other.tryLock() : DataFolderLock::State::Held, DataFolderLock::State::Held);
        DataFolderLock lock(dir.path());
        EXPECT_EQ(lock.tryLock(), row.expected);
        EXPECT_EQ(lock.errorString(), !row.heldHere ? QString()
                                                    : QStringLiteral("Another Nimbrel (process %1) is using the data "
                                                                     "folder %2.")
                                                          .arg(QCoreApplication::applicationPid())
                                                          .arg(dir.path()));
    }
}

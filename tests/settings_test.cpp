// The user's choices survive a restart: first start, closing, restarting,
// and a settings file that cannot be read.
#include "SettingsStore.h"
#include "TForm1.h"
#include "support/SimLink.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace nimbrel;
using nimbrel::test::SimLink;

namespace {

struct Boxes {
    int lang, temp, press, speed, rain, uvi;
};

Boxes boxesOf(const TForm1 &form)
{
    return {form.ui.LangBox->currentIndex(),     form.ui.TempEdBox->currentIndex(), form.ui.PressureEdBox->currentIndex(),
            form.ui.SpeedEdBox->currentIndex(), form.ui.RainEdBox->currentIndex(), form.ui.UVIEdBox->currentIndex()};
}

bool operator==(const Boxes &a, const Boxes &b)
{
    return a.lang == b.lang && a.temp == b.temp && a.press == b.press && a.speed == b.speed && a.rain == b.rain &&
           a.uvi == b.uvi;
}

// Starts the window in dir, lets the caller change it, closes it.
void session(const QString &dir, const std::function<void(TForm1 &)> &use)
{
    SimLink link;
    AppContext context;
    context.workDir = dir;
    // The language box offers its languages only with a translation table.
    context.defaultLangTable = QStringLiteral(BUILT_LANG_TABLE);
    StationEngine engine(context);
    TForm1 form(engine);
    form.engine().useLink(link.api());
    QVERIFY(form.FormCreate());
    use(form);
    form.FormDestroy();
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstStartUsesTheDefaultsAndClosingStoresThem()
    {
        QTemporaryDir dir;
        session(dir.path(), [](TForm1 &form) { QVERIFY((boxesOf(form) == Boxes{1, 0, 0, 0, 0, 0})); });
        auto opened = SettingsStore::open(QDir(dir.path()).filePath(QStringLiteral("datsum")), QDateTime());
        QVERIFY(opened.store);
        const std::optional<Settings> row = opened.store->load();
        QVERIFY(row.has_value());
        QCOMPARE(row->Lang, 1);
        QCOMPARE(row->Temp, 0);
        QCOMPARE(row->Press, 0);
        QCOMPARE(row->UserCoord, 0);
    }

    void choicesSurviveARestart_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<int>("temp");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("rain");
        QTest::addColumn<int>("uvi");
        QTest::newRow("Russian, Fahrenheit, inchHg, knots, mm, MED/h") << 0 << 1 << 3 << 3 << 1 << 1;
        QTest::newRow("Italian, Celsius, mmHg, m/s, inch, UVI") << 4 << 0 << 2 << 2 << 0 << 0;
    }

    void choicesSurviveARestart()
    {
        QFETCH(int, lang);
        QFETCH(int, temp);
        QFETCH(int, press);
        QFETCH(int, speed);
        QFETCH(int, rain);
        QFETCH(int, uvi);
        QTemporaryDir dir;
        session(dir.path(), [&](TForm1 &form) {
            form.ui.LangBox->setCurrentIndex(lang);
            form.ui.TempEdBox->setCurrentIndex(temp);
            form.ui.PressureEdBox->setCurrentIndex(press);
            form.ui.SpeedEdBox->setCurrentIndex(speed);
            form.ui.RainEdBox->setCurrentIndex(rain);
            form.ui.UVIEdBox->setCurrentIndex(uvi);
        });
        session(dir.path(), [&](TForm1 &form) {
            QVERIFY((boxesOf(form) == Boxes{lang, temp, press, speed, rain, uvi}));
        });
        // Closing twice leaves one row.
        auto opened = SettingsStore::open(QDir(dir.path()).filePath(QStringLiteral("datsum")), QDateTime());
        QVERIFY(opened.store->load().has_value());
    }

    void damagedSettingsAreKeptAsideAndTheDefaultsApply()
    {
        QTemporaryDir dir;
        QFile damaged(QDir(dir.path()).filePath(QStringLiteral("datsum")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray("SQLite format 3\0 this is not what it claims", 44));
        damaged.close();
        session(dir.path(), [](TForm1 &form) { QVERIFY((boxesOf(form) == Boxes{1, 0, 0, 0, 0, 0})); });
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("datsum.damaged-*")}).size(), 1);
        auto opened = SettingsStore::open(QDir(dir.path()).filePath(QStringLiteral("datsum")), QDateTime());
        QVERIFY(opened.store && opened.store->load().has_value());
    }

    void settingsOfAnotherShapeOrANewerVersionAreKeptAside_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::newRow("SumSet without CityCode") << QStringList{"CREATE TABLE SumSet (Lang INTEGER, Temp INTEGER)"};
        QTest::newRow("written by a newer version")
            << QStringList{"CREATE TABLE SumSet (Lang INTEGER, Temp INTEGER, Press INTEGER, Speed INTEGER, "
                           "Rain INTEGER, UVI INTEGER, UserCoord INTEGER, CityCode INTEGER)",
                           "INSERT INTO SumSet VALUES (0, 1, 1, 1, 1, 1, 0, 0)", "PRAGMA user_version = 2"};
    }

    void settingsOfAnotherShapeOrANewerVersionAreKeptAside()
    {
        QFETCH(QStringList, statements);
        QTemporaryDir dir;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            db.setDatabaseName(QDir(dir.path()).filePath(QStringLiteral("datsum")));
            QVERIFY(db.open());
            for (const QString &sql : statements)
                QVERIFY(QSqlQuery(db).exec(sql));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        session(dir.path(), [](TForm1 &form) {
            QVERIFY((boxesOf(form) == Boxes{1, 0, 0, 0, 0, 0}));
            QVERIFY2(form.engine().tableProblems().contains(QStringLiteral("datsum is damaged")),
                     qPrintable(form.engine().tableProblems()));
        });
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("datsum.damaged-*")}).size(), 1);
    }

    void aStoredIndexTheBoxLacksKeepsTheDefault()
    {
        QTemporaryDir dir;
        {
            auto opened = SettingsStore::open(QDir(dir.path()).filePath(QStringLiteral("datsum")), QDateTime());
            Settings s;
            s.Lang = 9;
            s.Temp = 1;
            s.Press = -1;
            QVERIFY(opened.store->save(s));
        }
        session(dir.path(), [](TForm1 &form) { QVERIFY((boxesOf(form) == Boxes{1, 1, 0, 0, 0, 0})); });
    }

    // A header copy that cannot be written is told once; so is a settings save that fails.
    void failedSavesAreToldInTheWindow()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sumlocal.bin")));
        QStringList told;
        SimLink link;
        AppContext context;
        context.workDir = dir.path();
        StationEngine engine(context);
        TForm1 form(engine);
        engine.useLink(link.api());
        form.setMessageSink([&told](const QString &text) { told << text; });
        QVERIFY(form.FormCreate());
        engine.recorder().linkCheck();
        QCOMPARE(engine.recorder().fullRead(), FullReadResult::Completed);
        QCOMPARE(engine.recorder().fullRead(), FullReadResult::Completed);
        QCOMPARE(told.filter(QStringLiteral("header")).size(), 1);

        {  // another program holds datsum while the window closes
            QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            holder.setDatabaseName(QDir(dir.path()).filePath(QStringLiteral("datsum")));
            QVERIFY(holder.open());
            QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));
            form.FormDestroy();
            holder.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        QCOMPARE(told.filter(QStringLiteral("The settings could not be saved")).size(), 1);
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"

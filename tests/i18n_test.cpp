// The translation table and the language switch: the TSV form the table is
// built from, a table file that is missing, damaged or empty, the rules of
// which text a row reaches, and the main window in each of the five
// languages, every text from the table and fitting its component.
#include "LangTable.h"
#include "TForm1.h"
#include "TForm3.h"
#include "Translation.h"
#include "support/SimLink.h"

#include "AnimatedPicture.h"
#include "PanelStatusBar.h"
#include "PowerMeter.h"
#include "ThermoMeter.h"
#include "TrendChart.h"
#include "KitStyle.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>

using namespace nimbrel;

namespace {

const QByteArray kHeader = "Form\tName\tItem\tType\tRUS\tENG\tDEU\tFRA\tITA\n";

bool hasCyrillic(const QString &text)
{
    for (QChar c : text) {
        if (c.script() == QChar::Script_Cyrillic)
            return true;
    }
    return false;
}

QString captionOf(const QObject *o)
{
    if (auto *l = qobject_cast<const QLabel *>(o)) return l->text();
    if (auto *g = qobject_cast<const QGroupBox *>(o)) return g->title();
    if (auto *b = qobject_cast<const QAbstractButton *>(o)) return b->text();
    if (auto *a = qobject_cast<const QAction *>(o)) return a->text();
    if (auto *p = qobject_cast<const PowerMeter *>(o)) return p->caption();
    if (auto *t = qobject_cast<const ThermoMeter *>(o)) return t->caption();
    return {};
}

// Every text of a component that some row type reaches, keyed "type/item".
QMap<QString, QString> reachedTexts(const QObject *o)
{
    const QString kind = componentKind(o);
    QMap<QString, QString> out;
    if (translationReaches(kind, 1)) out.insert(QStringLiteral("1/0"), captionOf(o));
    if (auto *w = qobject_cast<const QWidget *>(o); w && translationReaches(kind, 2))
        out.insert(QStringLiteral("2/0"), w->toolTip());
    if (auto *box = qobject_cast<const QComboBox *>(o))
        for (int i = 0; i < box->count(); ++i) out.insert(QStringLiteral("4/%1").arg(i), box->itemText(i));
    if (auto *bar = qobject_cast<const PanelStatusBar *>(o))
        for (int i = 0; i < bar->panelCount(); ++i) out.insert(QStringLiteral("3/%1").arg(i), bar->panelText(i));
    if (auto *chart = qobject_cast<const TrendChart *>(o)) out.insert(QStringLiteral("3/0"), chart->seriesTitle());
    return out;
}

QList<QObject *> components(const QWidget *window)
{
    QList<QObject *> out;
    for (QObject *o : window->findChildren<QObject *>())
        if (!componentKind(o).isEmpty() && !o->objectName().isEmpty()) out << o;
    return out;
}

// A chart of several series, as the history window's: it renames a series
// it has through setSeriesTitle(int, QString).
class SeriesChart : public QWidget {
    Q_OBJECT
public:
    QStringList titles{QStringLiteral("a"), QStringLiteral("b")};
    Q_INVOKABLE bool setSeriesTitle(int series, const QString &title)
    {
        if (series < 0 || series >= titles.size())
            return false;
        titles[series] = title;
        return true;
    }
};

// The labels whose text the refresh writes: their designed text is a placeholder.
const QStringList kWrittenByRefresh = {"FromPressureLM", "FromPressureLN", "FromTempDoorLM", "FromTempDoorLN",
                                       "FromTempCHLM", "FromTempCHLN", "FromWindSpeedL", "FromWindGustL", "FromRainL"};

struct MainWindow {
    // Only one window at a time has a (detached) station link.
    explicit MainWindow(const QString &shipped = QString::fromLatin1(BUILT_LANG_TABLE), bool linked = true,
                        const Clock *clock = nullptr)
    {
        context.workDir = dir.path();
        context.clock = clock;
        context.defaultLangTable = shipped;
        context.quietMessages = true;
        engine = std::make_unique<StationEngine>(context);
        form = std::make_unique<TForm1>(*engine);
        if (linked) {
            sim::SimConfig detached;
            detached.attached = false;
            link = std::make_unique<test::SimLink>(detached);
            form->engine().useLink(link->api());
        }
    }
    void select(int language)
    {
        form->ui.LangBox->setCurrentIndex(language);
        form->LangBoxChange();
    }
    QTemporaryDir dir;
    AppContext context;
    std::unique_ptr<test::SimLink> link;
    std::unique_ptr<StationEngine> engine;
    std::unique_ptr<TForm1> form;
};

bool labelFits(const QLabel *label, QString *why)
{
    const QFontMetrics fm(label->font());
    const QRect area = label->contentsRect();
    const QRect needed = label->wordWrap()
        ? fm.boundingRect(QRect(0, 0, area.width(), 10000), Qt::TextWordWrap | Qt::AlignLeft, label->text())
        : QRect(0, 0, fm.horizontalAdvance(label->text()), fm.height());
    *why = QStringLiteral("%1 \"%2\" needs %3 x %4 of %5 x %6").arg(label->objectName(), label->text())
               .arg(needed.width()).arg(needed.height()).arg(area.width()).arg(area.height());
    return needed.width() <= area.width() && needed.height() <= area.height();
}

}  // namespace

class I18nTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The program's own face, as the program sets it at start.
    void initTestCase()
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        QApplication::setFont(font);
    }

    void tsvRowsReadStrictly_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("errorLine");
        QTest::addColumn<int>("rows");
        QTest::newRow("notes, blank lines, escapes") << QByteArray("# note\n\n2\tA_1\t3\t4\ta\\nb\t\\\\\tc\td\te\n") << 0 << 1;
        QTest::newRow("no header") << QByteArray("!") << 1 << 0;
        QTest::newRow("eight fields") << QByteArray("1\tA\t0\t1\ta\tb\tc\td\n") << 2 << 0;
        QTest::newRow("form 4") << QByteArray("4\tA\t0\t1\ta\tb\tc\td\te\n") << 2 << 0;
        QTest::newRow("type 6") << QByteArray("1\tA\t0\t6\ta\tb\tc\td\te\n") << 2 << 0;
        QTest::newRow("name with a space") << QByteArray("1\tA B\t0\t1\ta\tb\tc\td\te\n") << 2 << 0;
        QTest::newRow("stray backslash") << QByteArray("1\tA\t0\t1\ta\\t\tb\tc\td\te\n") << 2 << 0;
        QTest::newRow("text of 256") << ("1\tA\t0\t1\t" + QByteArray(256, 'x') + "\tb\tc\td\te\n") << 2 << 0;
        QTest::newRow("same text twice, forms 1 and 2")
            << QByteArray("1\tA\t0\t2\ta\tb\tc\td\te\n2\tA\t5\t2\ta\tb\tc\td\te\n") << 3 << 0;
    }
    void tsvRowsReadStrictly()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, errorLine);
        QFETCH(int, rows);
        const LangTsv tsv = parseLangTsv(body.startsWith('!') ? body.mid(1) : kHeader + body);
        QCOMPARE(tsv.errorLine, errorLine);
        QCOMPARE(int(tsv.rows.size()), rows);
        if (rows == 1)
            QCOMPARE(tsv.rows[0], (LangRow{2, "A_1", 3, 4, "a\nb", "\\", "c", "d", "e"}));
    }

    // Single rows on a small window: what each type reaches on each kind.
    void rowsReachTheirTexts_data()
    {
        QTest::addColumn<QString>("rows");  // "Name Item Type Text" lines
        QTest::addColumn<bool>("history");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *tag, const char *rows, bool history, const char *probe, const char *expected) {
            QTest::newRow(tag) << QString::fromUtf8(rows) << history << probe << QString::fromUtf8(expected);
        };
        row("list item keeps the selection", "LangBox 1 4 English", false, "LangBox", "1 English");
        row("list item beyond the list", "LangBox 7 4 X", false, "LangBox", "1 Английский");
        row("history window caption by name", "Form3 7 9 History", true, "title", "History");
        row("no caption name on the main window", "Form3 0 1 History", false, "title", "");
        row("status panel by type 3", "sStatusBar1 0 3 Link:", false, "panel0", "Link:");
        row("type 5 is for charts only", "sStatusBar1 0 5 X", false, "panel0", "a");
        row("panel beyond the bar, then the next row", "sStatusBar1 9 3 X\nsStatusBar1 1 3 Y", false, "panel1", "Y");
        row("type 3 renames series 0 whatever the item", "Chart 2 3 Pressure", false, "series", "Pressure");
        row("series beyond the chart", "Chart 1 5 X", false, "series", "T");
        row("second series of a data chart", "DBChart 1 5 Channel\nDBChart 5 5 X", true, "DBChart", "a Channel");
        row("type 3 on a data chart", "DBChart 1 3 Indoor", true, "DBChart", "Indoor b");
        row("chart hint", "Chart 0 2 Pressure, 24 h", false, "Chart", "Pressure, 24 h");
        row("edit hint", "PressLevel 0 2 Altitude", false, "PressLevel", "Altitude");
        row("animation hint", "WeatherImage 0 2 Forecast", false, "WeatherImage", "Forecast");
        row("an edit has no caption", "PressLevel 0 1 X", false, "PressLevel", "");
        row("a group box has no hint", "Box 0 2 X", false, "Box", "");
        row("a row naming nothing, then the next", "Nothing 0 1 X\nBox 0 1 Wind", false, "Box", "Wind");
        row("hidden label", "ErrorDll 0 1 No USB.dll!", false, "ErrorDll", "No USB.dll!");
        row("empty text as it stands", "Box 0 1 ", false, "Box", "");
    }
    void rowsReachTheirTexts()
    {
        QFETCH(QString, rows);
        QFETCH(bool, history);
        QFETCH(QString, probe);
        QFETCH(QString, expected);
        QWidget w;
        auto *list = named(new QComboBox(&w), "LangBox", "TComboBox");
        list->addItems({"Русский", "Английский", "Немецкий", "Французский", "Итальянский"});
        list->setCurrentIndex(1);
        auto *bar = named(new PanelStatusBar(&w), "sStatusBar1", "TStatusBar");
        bar->addPanel("a", 100);
        bar->addPanel("b", 100);
        named(new TrendChart(&w), "Chart", "TChart")->setSeriesTitle("T");
        named(new QSpinBox(&w), "PressLevel", "TEdit");
        named(new AnimatedPicture(&w), "WeatherImage", AnimatedPicture::kKind);
        named(new QGroupBox("G", &w), "Box", "TGroupBox");
        auto *dbChart = named(new SeriesChart, "DBChart", "TDBChart");
        dbChart->setParent(&w);
        named(new QLabel("E", &w), "ErrorDll", "TLabel")->hide();
        QSignalSpy changes(list, &QComboBox::currentIndexChanged);

        std::vector<LangRow> table;
        for (const QString &line : rows.split('\n')) {
            const QStringList f = line.split(' ');
            table.push_back({3, f[0], f[1].toInt(), f[2].toInt(), {}, f.mid(3).join(' '), {}, {}, {}});
        }
        translateWindow(&w, table, 1, history);

        QString shown;
        if (probe == "LangBox") shown = QStringLiteral("%1 %2").arg(list->currentIndex()).arg(list->currentText());
        else if (probe == "title") shown = w.windowTitle();
        else if (probe.startsWith("panel")) shown = bar->panelText(probe.back().digitValue());
        else if (probe == "DBChart") shown = dbChart->titles.join(' ');
        else if (probe == "series") shown = w.findChild<TrendChart *>()->seriesTitle();
        else if (probe == "Box") shown = rows.contains(" 2 ") ? w.findChild<QGroupBox *>()->toolTip() : w.findChild<QGroupBox *>()->title();
        else if (probe == "ErrorDll") shown = w.findChild<QLabel *>(probe)->text();
        else shown = w.findChild<QWidget *>(probe)->toolTip();
        QCOMPARE(shown, expected);
        QCOMPARE(changes.count(), 0);
    }

    // Forms 1 and 2 address the main window; other form values are never read.
    void formsOfTheTable()
    {
        MainWindow m(QString{});
        const QString path = QDir(m.dir.path()).filePath("lang");
        QFile tsv(QDir(m.dir.path()).filePath("lang.tsv"));
        QVERIFY(tsv.open(QIODevice::WriteOnly));
        tsv.write(kHeader + "2\tGroupBox5\t0\t1\tВетер\tWind\tWind\tVent\tVento\n");
        tsv.close();
        {
            LangTable::Opened made = LangTable::create(path, QDateTime::currentDateTime());
            QVERIFY(made.table && made.table->importTsv(tsv.fileName()));
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "extra");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("INSERT INTO LangSet VALUES (0, 'GroupBox6', 0, 1, '', 'Zero', '', '', ''),"
                                       " (4, 'GroupBox2', 0, 1, '', 'Four', '', '', '')"));
        }
        QSqlDatabase::removeDatabase("extra");
        QVERIFY(m.form->FormCreate());
        QCOMPARE(m.form->ui.LangBox->currentIndex(), 1);
        QCOMPARE(m.form->findChild<QGroupBox *>("GroupBox5")->title(), QString("Wind"));
        QCOMPARE(m.form->findChild<QGroupBox *>("GroupBox6")->title(), QString("Осадки"));
        QCOMPARE(m.form->findChild<QGroupBox *>("GroupBox2")->title(), QString("Восход/заход"));
    }

    // The comfort words on screen follow at once; a label left empty (no
    // channel sensor) stays empty.
    void comfortWordsFollowTheSwitch()
    {
        MainWindow m;
        QVERIFY(m.form->FormCreate());
        auto *indoor = m.form->findChild<QLabel *>("ComfStateL");
        auto *channel = m.form->findChild<QLabel *>("ComfState1L");
        m.form->findChild<QComboBox *>("ComfState")->setCurrentIndex(3);
        indoor->setText("Комфортно");
        channel->clear();
        m.select(4);
        QCOMPARE(indoor->text(), QString("Confortevole"));
        QCOMPARE(channel->text(), QString());
    }

    // Names of days and months, and the "from" labels before anything is
    // stored, speak the chosen language (the system's locale here is C).
    void datesAndCaptionsFollowTheSwitch()
    {
        const Clock monday(QDateTime(QDate(2026, 12, 7), QTime(12, 0)));
        MainWindow m(QString::fromLatin1(BUILT_LANG_TABLE), true, &monday);
        QVERIFY(m.form->FormCreate());
        const struct {
            int language;
            const char *date;
            const char *weekday;
            const char *since;
        } rows[] = {
            {0, "07 декабря 2026", "Понедельник", "С :"},
            {2, "07 Dezember 2026", "Montag", "Seit:"},
            {3, "07 décembre 2026", "Lundi", "Depuis :"},
            {4, "07 dicembre 2026", "Lunedì", "Dal:"},
            {1, "07 December 2026", "Monday", "From:"},
        };
        for (const auto &r : rows) {
            m.select(r.language);
            QCOMPARE(m.form->ui.LocalDate->text(), QString::fromUtf8(r.date));
            QCOMPARE(m.form->findChild<QLabel *>("WeekDayL")->text(), QString::fromUtf8(r.weekday));
            for (const QString &name : kWrittenByRefresh)
                QCOMPARE(m.form->findChild<QLabel *>(name)->text(), QString::fromUtf8(r.since));
        }
        // A refresh with nothing stored keeps the caption in the language.
        m.form->RefreshDisplay();
        QCOMPARE(m.form->findChild<QLabel *>("FromRainL")->text(), QStringLiteral("From:"));
    }

    // Every check box of the history window shows its whole caption, on a
    // narrow screen too: none runs under the period strip or off the edge.
    void historyCheckBoxesShowWhole_data() { everyTextFromTheTable_data(); }
    void historyCheckBoxesShowWhole()
    {
        QFETCH(int, language);
        MainWindow m;
        QVERIFY(m.form->FormCreate());
        TForm3 f;
        f.connectTo(*m.engine);
        for (int width : {796, 1200}) {
            f.resize(width, 800);
            m.select(language);
            const QWidget *strip = f.Label1->parentWidget();
            for (QCheckBox *box : f.Panel3->findChildren<QCheckBox *>()) {
                const QString what = QStringLiteral("%1 at %2 px").arg(box->text()).arg(width);
                QVERIFY2(!box->geometry().intersects(strip->geometry()), qPrintable(what));
                QVERIFY2(box->geometry().right() < width && box->width() >= box->sizeHint().width(), qPrintable(what));
                QVERIFY2(box->geometry().bottom() < f.Panel3->height(), qPrintable(what));
            }
        }
    }

    void startUpWithAFaultyTable_data()
    {
        QTest::addColumn<QByteArray>("file");  // empty: none; "rowless": a table without rows
        QTest::addColumn<bool>("shipped");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<int>("setAside");
        QTest::newRow("missing, nothing shipped") << QByteArray() << false << false << 0;
        QTest::newRow("missing, shipped copy") << QByteArray() << true << true << 0;
        QTest::newRow("damaged, shipped copy") << QByteArray(4096, 'x') << true << true << 1;
        QTest::newRow("damaged, nothing shipped") << QByteArray(4096, 'x') << false << false << 1;
        QTest::newRow("no rows") << QByteArray("rowless") << false << false << 0;
    }
    void startUpWithAFaultyTable()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, shipped);
        QFETCH(bool, usable);
        QFETCH(int, setAside);
        MainWindow m(shipped ? QString::fromLatin1(BUILT_LANG_TABLE) : QString());
        const QString path = QDir(m.dir.path()).filePath("lang");
        if (file == "rowless") {
            QVERIFY(LangTable::create(path, QDateTime::currentDateTime()).table);
        } else if (!file.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
        }
        Settings french;
        french.Lang = 3;
        QVERIFY(SettingsStore::open(QDir(m.dir.path()).filePath("datsum"), QDateTime::currentDateTime()).store->save(french));
        QVERIFY(m.form->FormCreate());
        QCOMPARE(m.form->ui.LangBox->isEnabled(), usable);
        QCOMPARE(m.form->ui.LangBox->count(), usable ? 5 : 0);
        QCOMPARE(m.form->findChild<QGroupBox *>("GroupBox5")->title(), QString(usable ? "Vent" : "Ветер"));
        QCOMPARE(QDir(m.dir.path()).entryList({"lang.damaged-*"}).size(), setAside);
        // The stored choice outlives a start without the table and applies
        // at the next start.
        m.form.reset();
        m.link.reset();
        MainWindow again;
        QFile::copy(QDir(m.dir.path()).filePath("datsum"), QDir(again.dir.path()).filePath("datsum"));
        QVERIFY(again.form->FormCreate());
        QCOMPARE(again.form->ui.LangBox->currentIndex(), 3);
        QCOMPARE(again.form->findChild<QGroupBox *>("GroupBox5")->title(), QString("Vent"));
    }

    void everyTextFromTheTable_data()
    {
        QTest::addColumn<int>("language");
        for (int i = 0; i < kLanguageCount; ++i)
            QTest::newRow(qPrintable(languageColumn(i))) << i;
    }
    void everyTextFromTheTable()
    {
        QFETCH(int, language);
        QFile file(QString::fromLatin1(LANG_TSV));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const LangTsv tsv = parseLangTsv(file.readAll());
        QVERIFY(tsv.ok());
        QMap<QString, QString> wanted;  // "name/type/item" -> text
        for (const LangRow &r : tsv.rows) {
            if (r.Form != 3)
                wanted.insert(QStringLiteral("%1/%2/%3").arg(r.Name).arg(r.Type).arg(r.Type > 2 ? r.Item : 0), r.text(language));
        }
        MainWindow designed(QString(), false);
        MainWindow m;
        QVERIFY(m.form->FormCreate());
        m.select(language);

        int checked = 0;
        for (QObject *o : components(designed.form.get())) {
            const QString name = o->objectName();
            QObject *now = m.form->findChild<QObject *>(name);
            const QMap<QString, QString> before = reachedTexts(o);
            const QMap<QString, QString> after = reachedTexts(now);
            for (auto it = before.cbegin(); it != before.cend(); ++it) {
                const QString key = name + '/' + it.key();
                const QString shown = after.value(it.key());
                if (kWrittenByRefresh.contains(name) || !hasCyrillic(it.value()))
                    continue;
                QVERIFY2(wanted.contains(key), qPrintable(key + " has no row"));
                ++checked;
                QCOMPARE(shown, wanted.value(key));
                QVERIFY2(!shown.isEmpty(), qPrintable(key));
                if (language == 0)
                    QCOMPARE(shown, it.value());
                else
                    QVERIFY2(!hasCyrillic(shown), qPrintable(key + ": " + shown));
            }
        }
        QVERIFY(checked > 150);
        // Every row of the main window reaches a text that is there.
        for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
            const QStringList key = it.key().split('/');
            QObject *o = m.form->findChild<QObject *>(key[0]);
            QVERIFY2(o && reachedTexts(o).contains(key[1] + '/' + key[2]), qPrintable(it.key() + " reaches nothing"));
        }
    }

    void everyTextFits_data() { everyTextFromTheTable_data(); }
    void everyTextFits()
    {
        QFETCH(int, language);
        MainWindow m;
        QVERIFY(m.form->FormCreate());
        m.select(language);
        const QWidget *content = m.form->ui.ScrollBox1->widget();
        QString why;
        for (QLabel *label : content->findChildren<QLabel *>()) {
            if (!label->isHidden() && !label->text().isEmpty() && !kWrittenByRefresh.contains(label->objectName()))
                QVERIFY2(labelFits(label, &why), qPrintable(why));
        }
        for (QGroupBox *box : content->findChildren<QGroupBox *>()) {
            if (box->title().isEmpty())
                continue;
            int room = box->width() - 16;
            for (QWidget *w : box->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                if (w->y() < 17 && !w->isHidden()) room = std::min(room, w->x() - 8);
            QVERIFY2(QFontMetrics(box->font()).horizontalAdvance(box->title()) <= room,
                     qPrintable(QStringLiteral("%1 has %2 px").arg(box->title()).arg(room)));
        }
        for (QAbstractButton *button : content->findChildren<QAbstractButton *>()) {
            if (!translationReaches(componentKind(button), 1))
                continue;
            const int needed = button->sizeHint().width() - (qobject_cast<QPushButton *>(button) ? 16 : 0);
            QVERIFY2(needed <= button->width(),
                     qPrintable(QStringLiteral("%1 needs %2 of %3").arg(button->text()).arg(needed).arg(button->width())));
        }
        for (QComboBox *box : content->findChildren<QComboBox *>()) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            const int field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width();
            for (int i = 0; i < box->count() && !box->isHidden(); ++i)
                QVERIFY2(box->fontMetrics().horizontalAdvance(box->itemText(i)) <= field, qPrintable(box->itemText(i)));
        }
        // The status panels, the link states in panel 0 included.
        const QList<QLabel *> panels = m.form->ui.sStatusBar1->findChildren<QLabel *>();
        QVERIFY(panels.size() >= 4);
        for (QLabel *panel : panels) {
            QStringList texts{panel->text()};
            if (panel == panels.first())
                texts << m.form->ui.StationOn->text() << m.form->ui.StationOff->text() << m.form->ui.NoAccess->text()
                      << m.form->ui.NoOpen->text();
            // The designed Russian of the station settings' messages is longer
            // than the panel; the translations are not.
            if (panel == panels.first() && language > 0)
                for (const char *name : {"AltitudeRefused", "SettingWritten", "SettingNotWritten"})
                    texts << m.form->findChild<QLabel *>(name)->text();
            // The designed "version 1.12" already takes one pixel more than
            // its designed 70-pixel panel leaves; no translation takes more.
            const int room = panel->contentsRect().width() + (panel == panels.value(3) ? 1 : 0);
            for (const QString &text : texts) {
                const int needed = panel->fontMetrics().tightBoundingRect(text).width();
                QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1 needs %2 of %3").arg(text).arg(needed).arg(room)));
            }
        }
        // Gauge captions read whole in the band that keeps the faces aligned.
        for (PowerMeter *gauge : content->findChildren<PowerMeter *>()) {
            const qreal needed = QFontMetricsF(kit::labelFont(11)).horizontalAdvance(gauge->caption()) + 6;
            QVERIFY2(gauge->captionWidth() == 0 || needed <= gauge->captionWidth(), qPrintable(gauge->caption()));
        }
    }
};

QTEST_MAIN(I18nTest)
#include "i18n_test.moc"

// The main window's spine against the simulated station: start-up with and
// without a station, the full read and the poll, unplugging, faults, and
// handlers that re-enter while an exchange is waiting.
#include "TForm1.h"
#include "BlinkLed.h"
#include "PanelStatusBar.h"
#include "ThermoMeter.h"
#include "TrendChart.h"
#include "UiDump.h"
#include "support/SimLink.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace nimbrel;
using nimbrel::test::SimLink;

namespace {

// Every wait below ends at its event; this is only the net under a machine
// that stalls (the test machines are shared and slow at random).
constexpr int kPatience = 60000;

// Speeds the window's timers up so a test takes a fraction of a second per
// poll instead of ten.
void quicken(TForm1 &form, int linkCheckMs = 50, int pollMs = 150, int pauseMs = 300)
{
    form.engine().findChild<QTimer *>(QStringLiteral("Timer1"))->setInterval(linkCheckMs);
    form.engine().findChild<QTimer *>(QStringLiteral("Form2Timer1"))->setInterval(linkCheckMs);
    form.engine().findChild<QTimer *>(QStringLiteral("Timer2"))->setInterval(pollMs);
    form.engine().findChild<QTimer *>(QStringLiteral("Form2Timer2"))->setInterval(pauseMs);
    form.engine().findChild<QTimer *>(QStringLiteral("Timer3"))->setInterval(300);
    form.engine().findChild<QTimer *>(QStringLiteral("Timer4"))->setInterval(300);
    form.engine().recorder().setPollInterval(pollMs);
}

QTimer *timer(TForm1 &form, const char *name)
{
    return form.engine().findChild<QTimer *>(QString::fromLatin1(name));
}

sim::SimConfig station(bool attached = true)
{
    sim::SimConfig c;
    c.attached = attached;
    return c;
}

struct Window {
    explicit Window(SimLink &link)
    {
        context.workDir = dir.path();
        engine = std::make_unique<StationEngine>(context);
        form = std::make_unique<TForm1>(*engine);
        form->setMessageSink([this](const QString &text) { messages << text; });
        form->engine().useLink(link.api());
        quicken(*form);
    }
    QTemporaryDir dir;
    AppContext context;
    std::unique_ptr<StationEngine> engine;
    std::unique_ptr<TForm1> form;
    QStringList messages;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noStationAtStartShowsStoredDataAfterThePause()
    {
        SimLink link(station(false));
        Window w(link);
        QStringList panelTexts;
        QObject::connect(w.form.get(), &TForm1::displayRefreshed, [&] { panelTexts << w.form->ui.Label10->text(); });
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->ui.TempPanel->isVisible() || !panelTexts.isEmpty(), kPatience);
        QTRY_COMPARE_WITH_TIMEOUT(w.form->ui.Label10->text(), w.form->ui.ErrorConnect->text(), kPatience);
        QCOMPARE(w.form->ui.sStatusBar1->panelText(0), QStringLiteral("Станция отключена"));
        QVERIFY(w.form->ui.ErrorConnect->text().contains(QStringLiteral("будут загружены последние данные")));
        QTRY_COMPARE_WITH_TIMEOUT(panelTexts.size(), 1, kPatience);
        QVERIFY(w.form->ui.TempPanel->isHidden());
        QCOMPARE(w.form->ui.ObmenLed->colorIndex(), 1);
        QVERIFY2(timer(*w.form, "Timer2")->isActive(), "the poll waits for a station to come");
        QVERIFY(link.sent.empty());
    }

    void fullReadAtStartThenPollingTakesOverEachNewSlot()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        QCOMPARE(w.form->ui.sStatusBar1->panelText(0), QStringLiteral("Станция подключена"));
        QTRY_VERIFY_WITH_TIMEOUT(w.form->ui.TempPanel->isHidden(), kPatience);
        QVERIFY(timer(*w.form, "Timer2")->isActive());
        QCOMPARE(w.form->ui.ProgressBar1->value(), 16000);
        const int first = w.form->engine().recorder().lastRecordPosition();
        QCOMPARE(first, link.station().newestSlotIndex() * 38 + 219);

        link.station().addSlots(1);
        QTRY_COMPARE_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition(), first + 38, kPatience);
        QCOMPARE(w.form->measurement().Dat.isValid(), true);
    }

    void unpluggedDuringPollingThenReplugged()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);

        link.station().setAttached(false);
        QTRY_COMPARE_WITH_TIMEOUT(w.form->ui.sStatusBar1->panelText(0), QStringLiteral("Станция отключена"), kPatience);
        QCOMPARE(w.form->engine().recorder().lastRecordPosition(), 0);
        QVERIFY(!w.form->engine().recorder().connected());

        // While the next full read waits for answers, every unit and period
        // control is disabled.
        bool sawLockedControls = false;
        bool sawUnlockedControls = false;
        const QList<QWidget *> controls = w.form->pollLockedControls();
        QCOMPARE(controls.size(), 9);
        link.sent.clear();
        link.whileWaiting = [&] {
            // The polls after it run with the controls free again.
            if (!w.form->engine().recorder().fullReadRunning())
                return;
            for (QWidget *c : controls)
                (c->isEnabled() ? sawUnlockedControls : sawLockedControls) = true;
        };
        link.station().setAttached(true);
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().connected(), kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        link.whileWaiting = nullptr;
        QVERIFY(sawLockedControls);
        QVERIFY(!sawUnlockedControls);
        QVERIFY(link.readAddresses().size() >= 256u);
        for (QWidget *c : controls)
            QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
        QVERIFY(w.form->ui.TempPanel->isHidden());
    }

    void checkByteMismatchOnBlockZeroIsReadAgainAtOnce()
    {
        SimLink link(station());
        link.station().injectReadFault({0, sim::ReadFault::BadChecksum, 1});
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(link.readAddresses().size() >= 1u, kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        const std::vector<int> reads = link.readAddresses();
        QCOMPARE(reads[0], 0);
        QCOMPARE(reads[1], 0);  // the spoiled answer is asked for again
        QCOMPARE(reads[2], 32);
        QVERIFY(timer(*w.form, "Timer2")->isActive());
    }

    void pollArrivingDuringAReadWaitsForIt()
    {
        SimLink link(station());
        Window w(link);
        timer(*w.form, "Timer2")->setInterval(60000);  // only the nested tick polls
        bool nestedDone = false;
        size_t sentBeforeNested = 0;
        size_t sentAfterNested = 0;
        link.whileWaiting = [&] {
            if (!nestedDone && link.readAddresses().size() == 10) {
                nestedDone = true;
                sentBeforeNested = link.sent.size();
                w.form->Timer2Timer();
                sentAfterNested = link.sent.size();
            }
        };
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(nestedDone, kPatience);
        QCOMPARE(sentAfterNested, sentBeforeNested);  // no second exchange inside the first
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        // The deferred poll runs after the full read (its blocks, the index
        // once more and the closing poll's index): one more index read.
        const size_t fullReadCommands = 256 + 1 + 1;
        QTRY_COMPARE_WITH_TIMEOUT(link.readAddresses().size(), fullReadCommands + 1, kPatience);
        QCOMPARE(link.readAddresses().back(), 224);
        QVERIFY(!w.form->engine().recorder().busy());
    }

    void stationAttachedAfterAStartWithoutOneIsReadAtOnce()
    {
        SimLink link(station(false));
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->ui.TempPanel->isHidden() && w.form->ui.Label10->text() == w.form->ui.ErrorConnect->text(), kPatience);
        link.station().setAttached(true);
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        QVERIFY(timer(*w.form, "Timer2")->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->ui.TempPanel->isHidden(), kPatience);
    }

    void stationAttachedDuringTheNoStationPauseIsReadAfterIt()
    {
        SimLink link(station(false));
        Window w(link);
        QObject::connect(&w.form->engine().recorder(), &Recorder::stageChanged, [&](ReadStage stage) {
            if (stage == ReadStage::NoStation)
                QTimer::singleShot(100, [&] { link.station().setAttached(true); });
        });
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        QCOMPARE(w.form->engine().history()->count(), 209LL);
        QVERIFY(QFile::exists(QDir(w.dir.path()).filePath(QStringLiteral("sumlocal.bin"))));
        QCOMPARE(w.form->ui.sStatusBar1->panelText(0), QStringLiteral("Станция подключена"));
        QVERIFY(timer(*w.form, "Timer2")->isActive());
    }

    void firstLinkCheckLeavesTheRunningStartTimerAlone()
    {
        SimLink link(station());
        Window w(link);
        timer(*w.form, "Form2Timer1")->setInterval(60000);
        timer(*w.form, "Timer1")->setInterval(60000);  // the check below is the first
        QVERIFY(w.form->FormCreate());
        // Some of the start timer has run down, so a restart would show.
        QTRY_VERIFY_WITH_TIMEOUT(timer(*w.form, "Form2Timer1")->remainingTime() < 59900, kPatience);
        const int remaining = timer(*w.form, "Form2Timer1")->remainingTime();
        w.form->Timer1Timer();
        QVERIFY(timer(*w.form, "Form2Timer1")->remainingTime() <= remaining);
    }

    void fullReadStoresTheRingAndPollingAppendsEachNewRecord()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        const HistoryStore *history = w.form->engine().history();
        QVERIFY(history);
        QCOMPARE(history->count(), 209LL);  // every slot, slot 0 too

        HistoryRow before;
        QVERIFY(history->newest(before));
        // Each new slot is one more stored row (the oldest slot it overwrote
        // stays stored), the newest of all, and the one shown.
        for (long long expected : {210LL, 211LL}) {
            link.station().addSlots(1);
            QTRY_COMPARE_WITH_TIMEOUT(history->count(), expected, kPatience);
            HistoryRow newest;
            QVERIFY(history->newest(newest));
            QVERIFY(newest.Dat > before.Dat);
            QTRY_COMPARE_WITH_TIMEOUT(w.form->measurement().Dat, newest.Dat, kPatience);
            before = newest;
        }
    }

    void withoutStationTheNewestStoredRecordIsShown()
    {
        QTemporaryDir dir;
        {
            auto opened = HistoryStore::open(QDir(dir.path()).filePath(QStringLiteral("datat")), QDateTime::currentDateTime());
            QVERIFY(opened.store);
            for (int hour : {9, 11, 10}) {
                Measurement m;
                m.Dat = QDateTime(QDate(2026, 3, 1), QTime(hour, 0));
                m.TempDoor = 20 + hour;
                QCOMPARE(opened.store->append(m), AppendResult::Appended);
            }
        }
        SimLink link(station(false));
        AppContext context;
        context.workDir = dir.path();
        StationEngine engine(context);
        TForm1 form(engine);
        form.engine().useLink(link.api());
        quicken(form);
        bool refreshed = false;
        QObject::connect(&form, &TForm1::displayRefreshed, [&] { refreshed = true; });
        QVERIFY(form.FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(refreshed, kPatience);
        QCOMPARE(form.measurement().Dat, QDateTime(QDate(2026, 3, 1), QTime(11, 0)));
        QCOMPARE(form.measurement().TempDoor, 31.0);
    }

    void damagedHistoryIsKeptAsideAndAFreshOneFilled()
    {
        SimLink link(station());
        Window w(link);
        QByteArray noise(20000, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>((i * 7919 + 13) & 0xFF);
        QFile damaged(QDir(w.dir.path()).filePath(QStringLiteral("datat")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(noise);
        damaged.close();

        QVERIFY(w.form->FormCreate());
        const QStringList aside = QDir(w.dir.path()).entryList({QStringLiteral("datat.damaged-*")});
        QCOMPARE(aside.size(), 1);
        QFile kept(QDir(w.dir.path()).filePath(aside[0]));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), noise);
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        QCOMPARE(w.form->engine().history()->count(), 209LL);
    }

    // Clearing asks first; only a yes clears, and the cleared rows are kept
    // as a dated copy. The station refills the history afterwards.
    void clearingTheHistoryAsksAndKeepsACopy()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->engine().recorder().busy(), kPatience);
        const QDir folder(w.dir.path());
        auto copies = [&] { return folder.entryList({QStringLiteral("datat.cleared-*")}); };
        auto question = [&] { return w.form->findChild<QMessageBox *>(QStringLiteral("ClearHistoryQuestion")); };
        struct Answer {
            const char *situation;
            std::function<void(QMessageBox *)> give;
        };
        const Answer keeps[] = {
            {"Enter on the default answer", [](QMessageBox *q) { QTest::keyClick(q, Qt::Key_Return); }},
            {"Escape", [](QMessageBox *q) { QTest::keyClick(q, Qt::Key_Escape); }},
        };
        for (const Answer &a : keeps) {
            w.form->N1Click();
            QMessageBox *q = question();
            QVERIFY2(q, a.situation);
            QVERIFY2(q->text().contains(QStringLiteral("209")), qPrintable(q->text()));
            a.give(q);
            QTRY_VERIFY_WITH_TIMEOUT(!question(), kPatience);
            QCOMPARE(w.form->engine().history()->count(), 209LL);
            QVERIFY2(copies().isEmpty(), a.situation);
        }

        const size_t readsBefore = link.readAddresses().size();
        w.form->N1Click();
        QVERIFY(question());
        question()->button(QMessageBox::Yes)->click();
        QCOMPARE(w.form->engine().history()->count(), 0LL);
        QCOMPARE(copies().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(link.readAddresses().size() >= readsBefore + 256, kPatience);
        QTRY_COMPARE_WITH_TIMEOUT(w.form->engine().history()->count(), 209LL, kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().findChild<QTimer *>(QStringLiteral("Timer2"))->isActive(), kPatience);
        QVERIFY(w.messages.isEmpty());
    }

    // While the station is read, the menu is locked and a clearing asked
    // for (or confirmed) then is refused with a sentence: nothing is cleared.
    void clearingDuringAReadIsRefused()
    {
        SimLink link(station());
        Window w(link);
        bool menuLocked = false;
        bool menuFree = false;
        int tries = 0;
        link.whileWaiting = [&] {
            if (!w.form->engine().recorder().fullReadRunning())
                return;
            (w.form->ui.BitBtn1->isEnabled() || w.form->ui.N1->isEnabled() ? menuFree : menuLocked) = true;
            if (link.statusPolls != 30 || tries++ > 0)
                return;
            w.form->N1Click();  // refused at once
            // A yes given during the read, to a question asked before it.
            QCOMPARE(w.engine->clearHistory().result, StationEngine::ClearOutcome::Result::StationBusy);
        };
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        link.whileWaiting = nullptr;
        QCOMPARE(tries, 1);
        QVERIFY(menuLocked);
        QVERIFY(!menuFree);
        QVERIFY(w.form->ui.BitBtn1->isEnabled() && w.form->ui.N1->isEnabled());
        QCOMPARE(w.messages, QStringList{w.form->ui.ClearRefused->text()});
        QCOMPARE(w.form->engine().history()->count(), 209LL);
        QVERIFY(QDir(w.dir.path()).entryList({QStringLiteral("datat.cleared-*")}).isEmpty());
    }

    void linkLibraryFailuresEndTheProgramWithTheirMessage()
    {
        QTemporaryDir empty;
        struct Row {
            const char *situation;
            QString folder;
            const char *message;
        };
        const Row rows[] = {
            {"no library", empty.path(), "Ошибка загрузки USB.dll!!!"},
            {"library lacks operations", QStringLiteral(BROKEN_LINK_DIR), "Ошибка при подключении к USB.dll!!!"},
        };
        for (const Row &r : rows) {
            AppContext context;
            context.workDir = empty.path();
            context.libraryFolders = {r.folder};
            StationEngine engine(context);
            TForm1 form(engine);
            QStringList messages;
            form.setMessageSink([&](const QString &text) { messages << text; });
            QVERIFY2(!form.FormCreate(), r.situation);
            QCOMPARE(messages, QStringList{QString::fromUtf8(r.message)});
        }
    }

    void headerCopyIsWrittenAfterTheFullRead()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        QFile copy(QDir(w.dir.path()).filePath(QStringLiteral("sumlocal.bin")));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        const QByteArray bytes = copy.readAll();
        QCOMPARE(bytes.size(), 255);
        QVERIFY(std::equal(bytes.begin(), bytes.end(), link.station().memory().begin(),
                           [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
    }

    // ---- The display -----------------------------------------------------------

    // Each file type of the menu's export writes its own file; the window's
    // units are those of its boxes (°F here), SI stays SI.
    void menuExportWritesTheChosenFormat()
    {
        SimLink link(station(false));
        Window w(link);
        QVERIFY(w.form->FormCreate());
        w.form->ui.TempEdBox->setCurrentIndex(1);
        const struct {
            int filter;
            const char *name;
            QByteArray start;
        } rows[] = {
            {0, "si.csv", "time,day_of_week,indoor_temperature [C],"},
            {1, "user.csv", "time,day_of_week,indoor_temperature [F],"},
            {2, "lines.jsonl", ""},
            {3, "archive.sdb", "SQLite format 3"},
        };
        for (const auto &row : rows) {
            w.form->ui.ExportHistoryItem->trigger();
            auto *dialog = w.form->findChild<QFileDialog *>(QStringLiteral("ExportHistoryDialog"));
            QVERIFY(dialog);
            dialog->setObjectName(QString());  // the next one is found anew
            QCOMPARE(dialog->nameFilters().size(), 4);
            // Chosen as the user does; the proposed name's suffix follows.
            auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types);
            types->setCurrentIndex(row.filter);
            Q_EMIT types->activated(row.filter);
            Q_EMIT types->textActivated(types->currentText());
            QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).suffix(), QFileInfo(row.name).suffix());
            dialog->selectFile(w.dir.filePath(QLatin1String(row.name)));
            QMetaObject::invokeMethod(dialog, "accept");  // the Save button
            QFile written(w.dir.filePath(QLatin1String(row.name)));
            QVERIFY2(written.open(QIODevice::ReadOnly), row.name);
            QCOMPARE(written.read(row.start.size()), row.start);
        }
        QVERIFY(w.messages.isEmpty());
    }

    // A name replaces "CHn" where the box has room; a long one is its hint.
    void channelBoxShowsTheNamesThatFit()
    {
        SimLink link(station(false));
        Window w(link);
        QFile ini(w.dir.filePath(QStringLiteral("nimbrel.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[channels]\nname1=Garden\nname2=The greenhouse behind the garage\n");
        ini.close();
        QVERIFY(w.form->FormCreate());
        auto *box = w.form->findChild<QComboBox *>(QStringLiteral("CHBox"));
        QCOMPARE(box->itemText(0), QStringLiteral("Garden"));
        QCOMPARE(box->itemText(1), QStringLiteral("CH2"));
        QCOMPARE(box->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("The greenhouse behind the garage"));
        QCOMPARE(box->itemText(2), QStringLiteral("CH3"));
    }

    // The channel side follows a temperature unit change at once, from the
    // stored values, with no station to bring a new record.
    void temperatureUnitChangeWithoutAStationRedrawsTheChannel()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        link.station().setAttached(false);
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->engine().recorder().connected(), kPatience);

        auto *channelBox = w.form->findChild<QComboBox *>(QStringLiteral("CHBox"));
        auto *termo = w.form->findChild<ThermoMeter *>(QStringLiteral("Termo2"));
        auto label = [&](const char *name) { return w.form->findChild<QLabel *>(QString::fromLatin1(name)); };
        const Measurement &m = w.form->measurement();
        const StationSummary &s = w.form->summary();
        int channel = 0;
        while (channel < kChannelCount
               && (m.TempCHState[channel] != 0 || m.TempCH[channel] == 0 || s.TempMaxState[channel + 1] != 0))
            ++channel;
        QVERIFY2(channel < kChannelCount, "the simulated station has a channel with a reading");
        channelBox->setCurrentIndex(channel);
        Q_EMIT channelBox->activated(channel);
        w.form->RefreshDisplay();

        const QStringList names = {"TempCHLabel", "MaxTempCHL", "MinTempCHL", "TochkaRosCHL"};
        QList<double> celsius;
        for (const QString &name : names)
            celsius << QLocale().toDouble(label(name.toLatin1())->text());
        const double column = termo->value();
        const double maxMarker = termo->maxMarker();

        auto *units = w.form->ui.TempEdBox;
        units->setCurrentIndex(1);
        Q_EMIT units->activated(1);
        QVERIFY(!w.form->engine().recorder().connected());
        auto fahrenheit = [](double c) { return c * 1.8 + 32; };
        for (int i = 0; i < names.size(); ++i) {
            bool ok = false;
            const double shown = QLocale().toDouble(label(names[i].toLatin1())->text(), &ok);
            QVERIFY2(ok, qPrintable(names[i]));
            QVERIFY2(qAbs(shown - fahrenheit(celsius[i])) <= 0.2, qPrintable(names[i]));
        }
        QCOMPARE(termo->scaleMax(), 176);
        QVERIFY(qAbs(termo->value() - fahrenheit(column)) <= 0.2);
        QVERIFY(qAbs(termo->maxMarker() - fahrenheit(maxMarker)) <= 0.2);
    }

    // The refresh depends on the records and the selectors only: a second
    // run right after the first changes nothing on the screen, also right
    // after the units were changed behind the handlers' back (as a stored
    // choice is at start-up).
    void refreshTwiceShowsTheSame()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        for (QComboBox *box : {w.form->ui.TempEdBox, w.form->ui.SpeedEdBox, w.form->ui.UVIEdBox, w.form->ui.RainEdBox})
            box->setCurrentIndex(1);
        auto screen = [&] {
            QJsonObject shown = dumpComponents(w.form.get());
            // The clock and the animations move on their own.
            for (const char *name : {"LocalTime", "LocalDate", "WeatherImage", "ObmenLed", "VrScrollText1"})
                shown.remove(QString::fromLatin1(name));
            return shown;
        };
        w.form->RefreshDisplay();
        const QJsonObject first = screen();
        w.form->RefreshDisplay();
        QCOMPARE(screen(), first);
        QCOMPARE(first.value(QStringLiteral("UVIL1")).toObject().value(QStringLiteral("text")).toString(),
                 QStringLiteral("MED/h"));
        QVERIFY(w.form->lastRefreshMs() > 0);
    }

    // Under the mouse a chart tells the point: hours back, " : " and the
    // pressure with one decimal; off the points it says nothing.
    void pressureChartHintsThePointUnderTheMouse()
    {
        SimLink link(station());
        Window w(link);
        QVERIFY(w.form->FormCreate());
        QTRY_VERIFY_WITH_TIMEOUT(w.form->engine().recorder().lastRecordPosition() != 0, kPatience);
        auto *chart = w.form->findChild<TrendChart *>(QStringLiteral("PressureChart"));
        QCOMPARE(chart->pointCount(), 25);
        Q_EMIT chart->mouseMoved(Qt::NoModifier, chart->pointPosition(24).toPoint());
        QVERIFY2(QRegularExpression(QStringLiteral("^0 : \\d{3,4}\\.\\d$")).match(chart->toolTip()).hasMatch(),
                 qPrintable(chart->toolTip()));
        Q_EMIT chart->mouseMoved(Qt::NoModifier, QPoint(1, 1));
        QCOMPARE(chart->toolTip(), QString());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

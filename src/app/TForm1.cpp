#include "TForm1.h"

#include "ActionRunner.h"
#include "DateFormat.h"
#include "HistoryStore.h"
#include "PanelStatusBar.h"
#include "StatusView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <utility>

namespace nimbrel {

namespace {

// The open question before clearing the history, found by this name (an
// --action answers it).
constexpr char kClearQuestionName[] = "ClearHistoryQuestion";

}  // namespace

TForm1::TForm1(StationEngine &engine, QWidget *parent) : QWidget(parent), engine_(engine), shown_(engine.snapshot())
{
    setObjectName(QStringLiteral("TForm1"));
    setProperty(kKindProperty, QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("PC Software NBR04417"));
    setFixedSize(MainWindowUi::kClientWidth, MainWindowUi::kClientHeight);
    Timer5 = new QTimer(this);
    Timer5->setObjectName(QStringLiteral("Timer5"));
    Timer5->setInterval(1000);
    connect(Timer5, &QTimer::timeout, this, &TForm1::Timer5Timer);
    ui.build(this);
    ui.buildSettingsStrip(this);
    ui.buildShell(this);
    status_ = new StatusView(ui, this);
    connect(ui.HistoryTemp, &QPushButton::clicked, this, &TForm1::historyRequested);
    connect(ui.BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(ui.N1, &QAction::triggered, this, &TForm1::N1Click);
    ui.N1->setProperty(kAsksFirstProperty, true);
    connect(ui.ExportHistoryItem, &QAction::triggered, this, &TForm1::ExportHistoryItemClick);
    connect(ui.OpenDataFolderItem, &QAction::triggered, this, &TForm1::OpenDataFolderItemClick);
    connect(ui.SpeedButton1, &QPushButton::clicked, this, &TForm1::SpeedButton1Click);
    // The user's choice only: the refresh sets the box from the station.
    connect(ui.PeriodBox, &QComboBox::activated, this, &TForm1::PeriodBoxChange);
    connect(ui.IsUserCity, &QCheckBox::clicked, this, &TForm1::IsUserCityClick);
    // A choice by the user; the refresh selects cities without running it.
    connect(ui.CityBox, &QComboBox::activated, this, &TForm1::CityBoxChange);
    // A language chosen by the user; applying the stored one runs no handler.
    connect(ui.LangBox, &QComboBox::activated, this, &TForm1::LangBoxChange);
    connectSelectors();
    connect(&engine_, &StationEngine::changed, this, &TForm1::showSnapshot);
}

TForm1::~TForm1()
{
    FormDestroy();
}

bool TForm1::FormCreate()
{
    engine_.openTables();
    if (!engine_.translationsUsable()) {
        // Without the table no language can be chosen: the box is emptied,
        // disabled and no longer switches; every text stays as designed.
        const QSignalBlocker block(ui.LangBox);
        ui.LangBox->clear();
        ui.LangBox->setEnabled(false);
        disconnect(ui.LangBox, nullptr, this, nullptr);
    }
    if (engine_.cityTable())
        ui.fillCities(engine_.cityTable()->rows());
    ui.applyChoices(engine_.storedSettings());
    IsUserCityClick();
    LangBoxChange();
    panel::nameChannelItems(ui.temperature().channelBox(), engine_.publishSettings().channels.names);
    takeUnitChoices();
    status_->showPublishing(*shown_);

    const LinkLoadError error = engine_.openStation();
    if (error == LinkLoadError::MissingOperation) {
        showMessage(ui.ErrorDll->text());
        return false;
    }
    if (error != LinkLoadError::None) {
        ui.sStatusBar1->setPanelText(0, ui.StationOff->text());
        showMessage(ui.ErrorLoadDll->text());
        return false;
    }
    engine_.start();
    Timer5->start();
    Timer5Timer();
    // A table file that could not be used as usual: said once the window is up.
    if (!engine_.tableProblems().isEmpty())
        QTimer::singleShot(0, this, [this] { showMessage(engine_.tableProblems()); });
    return true;
}

void TForm1::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    Timer5->stop();
    disconnect(&engine_, nullptr, this, nullptr);
    // What the selectors show now is what the next start shows.
    takeUnitChoices();
    if (ui.LangBox->currentIndex() >= 0)
        engine_.setLanguage(ui.LangBox->currentIndex());
    engine_.setUserCity(ui.IsUserCity->isChecked());
    keepLocation();
    engine_.shutDown();
    for (const QString &problem : engine_.shutDownProblems())
        showMessage(problem);
}

QList<QWidget *> TForm1::pollLockedControls() const
{
    return status_->lockedControls();
}

// ---- The engine's timers under their names ---------------------------------------

void TForm1::Timer1Timer() { engine_.recorder().linkCheck(); }
void TForm1::Form2Timer1Timer() { engine_.recorder().startFullRead(); }
void TForm1::Form2Timer2Timer() { engine_.recorder().pauseOver(); }
void TForm1::Timer2Timer() { engine_.recorder().poll(); }
void TForm1::Timer3Timer() { engine_.recorder().timers().readTimeout->stop(); }
void TForm1::Timer4Timer() { engine_.recorder().timers().writeTimeout->stop(); }

void TForm1::Timer5Timer()
{
    const QDateTime clock = now();
    const QLocale locale = dateLocale();
    ui.LocalDate->setText(formatDateTime(clock, QStringLiteral("dd mmmm yyyy"), locale));
    ui.LocalTime->setText(formatDateTime(clock, QStringLiteral("hh:mm:ss"), locale));
}

void TForm1::BitBtn1Click()
{
    const QPoint below = ui.BitBtn1->mapToGlobal(QPoint(0, ui.BitBtn1->height()));
    ui.PopupMenu1->popup(below);
}

void TForm1::N1Click()
{
    // Refused at once rather than asked and refused: the menu is locked
    // during a full read, but a poll or a settings write may be running.
    if (engine_.recorder().busy()) {
        showMessage(ui.ClearRefused->text());
        return;
    }
    if (findChild<QMessageBox *>(QLatin1String(kClearQuestionName)))
        return;  // already asked
    long long count = 0;
    HistoryRow oldest, newest;
    if (const HistoryStore *history = engine_.history()) {
        count = history->count();
        if (count > 0 && !(history->oldest(oldest) && history->newest(newest)))
            count = 0;
    }
    const QString dateFormat = QStringLiteral("dd.mm.yyyy hh:mm");
    const QString text = ui.ClearAsk->text()
                             .arg(count)
                             .arg(count > 0 ? formatDateTime(oldest.Dat, dateFormat) : QStringLiteral("–"),
                                  count > 0 ? formatDateTime(newest.Dat, dateFormat) : QStringLiteral("–"));
    // Window-modal and not waiting here: the station exchange carries on
    // while the question is open, and the answer is checked against it.
    auto *question = new QMessageBox(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                                     QMessageBox::Yes | QMessageBox::No, this);
    question->setObjectName(QLatin1String(kClearQuestionName));
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setDefaultButton(QMessageBox::No);
    question->setEscapeButton(QMessageBox::No);
    connect(question, &QMessageBox::finished, this, [this, question] {
        question->setObjectName(QString());
        if (question->clickedButton() == question->button(QMessageBox::Yes))
            clearConfirmed();
    });
    question->open();
}

void TForm1::clearConfirmed()
{
    using Result = StationEngine::ClearOutcome::Result;
    const StationEngine::ClearOutcome outcome = engine_.clearHistory();
    switch (outcome.result) {
    case Result::Cleared: break;
    case Result::StationBusy: showMessage(ui.ClearRefused->text()); break;
    case Result::NotCopied: showMessage(ui.ClearNotCopied->text().arg(outcome.why)); break;
    case Result::NotCleared:
        showMessage(QStringLiteral("The history could not be cleared: %1").arg(outcome.why));
        break;
    }
}

// ---- What the engine reports ----------------------------------------------------

void TForm1::showSnapshot(const SnapshotPtr &snapshot)
{
    shown_ = snapshot;
    const StationSnapshot &s = *snapshot;
    status_->show(s);
    switch (s.change) {
    case SnapshotChange::Record: RefreshDisplay(); break;
    case SnapshotChange::StoredData:
        RefreshDisplay();
        ui.TempPanel->hide();
        break;
    case SnapshotChange::SettingWritten:
        RefreshDisplay();
        status_->showMessage(s.writeResult == WriteError::None ? ui.SettingWritten->text()
                                                               : ui.SettingNotWritten->text());
        break;
    case SnapshotChange::Location:
        refreshSky();
        update();
        break;
    case SnapshotChange::StoreFailed:
        // Once a session: every following record would say the same.
        if (!storeFailureShown_) {
            storeFailureShown_ = true;
            showMessage(ui.HistoryNotSaved->text() + QLatin1Char(' ') + s.storeError);
        }
        break;
    case SnapshotChange::HistoryRebuilt:
        RefreshDisplay();
        showMessage(s.tableNotice);
        break;
    case SnapshotChange::HeaderCopyUnreadable: showFileError(); break;
    case SnapshotChange::HeaderCopyNotSaved:
        if (!std::exchange(headerCopyFailureShown_, true))
            showMessage(QStringLiteral("The copy of the station's header cannot be saved (%1); without the station, "
                                       "older values are shown.").arg(s.headerCopyError));
        break;
    case SnapshotChange::Repaint: update(); break;
    default: break;  // the status view's, or drawn by the handler that asked
    }
}

void TForm1::showMessage(const QString &text)
{
    if (messageSink_) {
        messageSink_(text);
        return;
    }
    if (engine_.context().quietMessages) {
        qWarning("%s", qPrintable(text));
        return;
    }
    QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
}

void TForm1::showFileError()
{
    const QString text = QStringLiteral("Can't perform one of the following file operations: Open, Seek, Read, Close.");
    if (messageSink_ || engine_.context().quietMessages) {
        showMessage(text);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("File Error"), text, QMessageBox::Ok | QMessageBox::Cancel);
}

// ---- The two station settings beside the unit selectors ------------------------
//
// Both are written into the station's memory by the engine's recorder, which
// waits for any running exchange, reads the block fresh, changes only the
// setting's bytes and reads it back to confirm.

std::optional<int> parseAltitude(const QString &text)
{
    constexpr int kAltitudeLimit = 65535;  // the magnitude has 16 bits
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < -kAltitudeLimit || value > kAltitudeLimit)
        return std::nullopt;
    return value;
}

void TForm1::SpeedButton1Click()
{
    const std::optional<int> altitude = parseAltitude(ui.PressLevel->text());
    if (!altitude) {
        ui.PressLevel->setText(summary().Unread ? QString() : QString::number(summary().Altitude));
        status_->showMessage(ui.AltitudeRefused->text());
        return;
    }
    // Without a station nothing is written and nothing changes; the edit
    // keeps what was typed until the next refresh.
    engine_.writeAltitude(*altitude);
}

void TForm1::PeriodBoxChange()
{
    engine_.writeHistoryInterval(ui.PeriodBox->currentIndex() + 1);
}

}  // namespace nimbrel

#include "TForm1.h"
#include "Placeholders.h"
#include "WindView.h"
#include "TemperatureView.h"

#include "BlinkLed.h"
#include "CityTable.h"
#include "DateFormat.h"
#include "NumberFormat.h"
#include "Decoding.h"
#include "HeaderCopy.h"
#include "Component.h"
#include "JpegImage.h"
#include "PanelStatusBar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimer>
#include <QDir>
#include <utility>

namespace nimbrel {

namespace {

constexpr int kClientWidth = 870;
constexpr int kClientHeight = 664;

// Colour pairs of the exchange LED, counted from 0: the exchange shows pair 3
// blinking (lime), idle shows pair 1 steady (aqua).
constexpr int kLedIdle = 1;
constexpr int kLedExchange = 3;

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = named(new QLabel(text, parent), name, "TLabel");
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

TForm1::TForm1(const AppContext &context, QWidget *parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("TForm1"));
    setProperty(kKindProperty, QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("PC Software NBR04417"));
    setFixedSize(kClientWidth, kClientHeight);
    createTimers();
    buildWindow();
    connect(ui.IsUserCity, &QCheckBox::clicked, this, &TForm1::IsUserCityClick);
    // A choice by the user; the refresh selects cities without running it.
    connect(ui.CityBox, &QComboBox::activated, this, &TForm1::CityBoxChange);
    // A language chosen by the user; applying the stored one runs no handler.
    connect(ui.LangBox, &QComboBox::activated, this, &TForm1::LangBoxChange);
    connectSelectors();

    recorder_ = std::make_unique<Recorder>(
        RecorderTimers{Timer1, Timer2, Timer3, Timer4, Form2Timer1, Form2Timer2}, this);
    connectRecorder();
}

void TForm1::connectRecorder()
{
    Recorder *r = recorder_.get();
    r->setClock([this] { return now(); });
    r->setUserCity([this] { return userCityOverride(); });
    connect(r, &Recorder::connectionChanged, this, &TForm1::showConnection);
    connect(r, &Recorder::linkErrorChanged, this, &TForm1::showLinkState);
    connect(r, &Recorder::writeFinished, this, &TForm1::showWriteResult);
    statusMessageTimer_ = new QTimer(this);
    statusMessageTimer_->setSingleShot(true);
    connect(statusMessageTimer_, &QTimer::timeout, this, &TForm1::showLinkState);
    connect(r, &Recorder::fullReadActive, this, &TForm1::showFullRead);
    connect(r, &Recorder::exchangeActive, this, [this](bool active) {
        setLed(active ? kLedExchange : kLedIdle, active);
    });
    connect(r, &Recorder::stageChanged, this, [this](ReadStage stage) { showStage(stage); });
    connect(r, &Recorder::retrying, this, [this](int, int attempt) { showStage(stage_, attempt); });
    connect(r, &Recorder::progressChanged, this,
            [this](int position) { ProgressBar1->setValue(qMin(position, ProgressBar1->maximum())); });
    connect(r, &Recorder::recordTaken, this, &TForm1::RefreshDisplay);
    connect(r, &Recorder::storedDataLoaded, this, [this] {
        RefreshDisplay();
        TempPanel->hide();
    });
    connect(r, &Recorder::headerCopyUnreadable, this, &TForm1::showFileError);
    connect(r, &Recorder::storeFailed, this, [this](const QString &why) {
        // Once a session: every following record would say the same.
        if (storeFailureShown_)
            return;
        storeFailureShown_ = true;
        showMessage(HistoryNotSaved->text() + QLatin1Char(' ') + why);
    });
    connect(r, &Recorder::headerCopyNotSaved, this, [this](const QString &why) {
        if (!std::exchange(headerCopyFailureShown_, true))
            showMessage(QStringLiteral("The copy of the station's header cannot be saved (%1); without the station, "
                                       "older values are shown.").arg(why));
    });
    connect(r, &Recorder::repaintRequested, this, qOverload<>(&QWidget::update));
}

TForm1::~TForm1()
{
    FormDestroy();
}

void TForm1::createTimers()
{
    auto make = [this](const char *name, int interval, bool enabled, void (TForm1::*handler)()) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(name));
        timer->setInterval(interval);
        connect(timer, &QTimer::timeout, this, handler);
        if (enabled)
            timer->start();
        return timer;
    };
    // Timers start running only once FormCreate has finished: see FormCreate.
    Timer1 = make("Timer1", 1000, false, &TForm1::Timer1Timer);
    Form2Timer1 = make("Form2Timer1", 1000, false, &TForm1::Form2Timer1Timer);
    Form2Timer2 = make("Form2Timer2", 3000, false, &TForm1::Form2Timer2Timer);
    Timer2 = make("Timer2", 10000, false, &TForm1::Timer2Timer);
    Timer3 = make("Timer3", 10000, false, &TForm1::Timer3Timer);
    Timer4 = make("Timer4", 10000, false, &TForm1::Timer4Timer);
    Timer5 = make("Timer5", 1000, false, &TForm1::Timer5Timer);
}

void TForm1::buildWindow()
{
    ui.build(this);
    ScrollBox1 = ui.ScrollBox1;
    Panel1 = ui.Panel1;
    LocalDate = ui.LocalDate;
    LocalTime = ui.LocalTime;
    buildSettingsStrip();

    // Hidden labels whose captions are the program's run-time messages, so a
    // language switch reaches them like any other caption.
    auto hidden = [this](const char *name, const QString &text) {
        QLabel *label = makeLabel(this, name, text);
        label->hide();
        return label;
    };
    StationOn = hidden("StationOn", QStringLiteral("Станция подключена"));
    StationOff = hidden("StationOff", QStringLiteral("Станция отключена"));
    ErrorConnect = hidden("ErrorConnect", QStringLiteral("Ошибка подключения к метеостанции \n- будут загружены последние данные"));
    LoadFrom = hidden("LoadFrom", QStringLiteral("Загрузка данных из метеостанции"));
    SaveFrom = hidden("SaveFrom", QStringLiteral("Сохрание данных в компьютер"));
    ErrorDll = hidden("ErrorDll", QStringLiteral("Ошибка при подключении к USB.dll!!!"));
    ErrorLoadDll = hidden("ErrorLoadDll", QStringLiteral("Ошибка загрузки USB.dll!!!"));
    // Why a station that is plugged in cannot be reached (the link library's
    // USBGetError), instead of "disconnected".
    NoAccess = hidden("NoAccess", QStringLiteral("Нет доступа: нужно правило udev"));
    NoOpen = hidden("NoOpen", QStringLiteral("Станция не открывается"));
    HistoryNotSaved = hidden("HistoryNotSaved", QStringLiteral("История не сохраняется на диск:"));
    AltitudeRefused = hidden("AltitudeRefused", QStringLiteral("Высота: целое от -65535 до 65535"));
    SettingWritten = hidden("SettingWritten", QStringLiteral("Настройка записана в станцию"));
    SettingNotWritten = hidden("SettingNotWritten", QStringLiteral("Станция не подтвердила запись"));
    // Shown after the progress text while a block is read again.
    RepeatRead = hidden("RepeatRead", QStringLiteral("повтор"));

    buildStatusBar();
    buildProgressPanel();
}

void TForm1::buildSettingsStrip()
{
    ui.buildSettingsStrip(this);
    Panel4 = ui.Panel4;
    HistoryTemp = ui.HistoryTemp;
    BitBtn1 = ui.BitBtn1;
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    PopupMenu1 = ui.PopupMenu1;
    N1 = ui.N1;
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    ExportHistoryItem = ui.ExportHistoryItem;
    connect(ExportHistoryItem, &QAction::triggered, this, &TForm1::ExportHistoryItemClick);
    OpenDataFolderItem = ui.OpenDataFolderItem;
    connect(OpenDataFolderItem, &QAction::triggered, this, &TForm1::OpenDataFolderItemClick);
    LangBox = ui.LangBox;
    PressLevel = ui.PressLevel;
    SpeedButton1 = ui.SpeedButton1;
    PeriodBox = ui.PeriodBox;
    connect(SpeedButton1, &QPushButton::clicked, this, &TForm1::SpeedButton1Click);
    // The user's choice only: the refresh sets the box from the station.
    connect(PeriodBox, &QComboBox::activated, this, &TForm1::PeriodBoxChange);
    TempEdBox = ui.TempEdBox;
    PressureEdBox = ui.PressureEdBox;
    SpeedEdBox = ui.SpeedEdBox;
    RainEdBox = ui.RainEdBox;
    UVIEdBox = ui.UVIEdBox;
}

void TForm1::buildStatusBar()
{
    sStatusBar1 = named(new PanelStatusBar(this), "sStatusBar1", "TStatusBar");
    sStatusBar1->setGeometry(0, kClientHeight - 17, kClientWidth, 17);
    sStatusBar1->addPanel(QStringLiteral("Состояние поключения:"), 250);
    sStatusBar1->addPanel(QStringLiteral("Последнее обновление:"), 250);
    sStatusBar1->addPanel(QString(), 150);
    sStatusBar1->addPanel(QStringLiteral("version 1.12"), 70, Qt::AlignCenter);
    sStatusBar1->addPanel(QStringLiteral("nimbrel.org"), 100, Qt::AlignCenter);

    ObmenLed = named(new BlinkLed(sStatusBar1), "ObmenLed", "TVrBlinkLed");
    ObmenLed->setGeometry(kClientWidth - 30, 1, 15, 15);
    ObmenLed->setToolTip(QStringLiteral("Индикатор операции обмена данными"));
    ObmenLed->setColorPairs({{Qt::black, Qt::red},
                             {Qt::black, QColor(0, 255, 255)},
                             {Qt::black, Qt::yellow},
                             {Qt::black, QColor(0, 255, 0)}});
    ObmenLed->setColorIndex(0);
}

void TForm1::buildProgressPanel()
{
    TempPanel = named(new QFrame(this), "TempPanel", "TPanel");
    TempPanel->setGeometry(0, 0, 873, 665);
    TempPanel->setAutoFillBackground(true);
    QPalette pal = TempPanel->palette();
    pal.setColor(QPalette::Window, QColor(12, 30, 52));
    TempPanel->setPalette(pal);

    Image7 = named(new QLabel(TempPanel), "Image7", "TImage");
    Image7->setGeometry(0, 0, 873, 665);
    QFile art(QStringLiteral(":/art/startup.jpg"));
    if (art.open(QIODevice::ReadOnly)) {
        const QImage picture = decodeJpeg(art.readAll());
        if (!picture.isNull())
            Image7->setPixmap(QPixmap::fromImage(picture));
    }

    QPalette light = TempPanel->palette();
    light.setColor(QPalette::WindowText, QColor(235, 242, 250));
    Label10 = makeLabel(TempPanel, "Label10", QStringLiteral("Подключение к метеостанции"));
    Label10->setGeometry(40, 585, 700, 36);
    Label10->setPalette(light);
    QFont status = Label10->font();
    status.setPixelSize(15);
    Label10->setFont(status);
    Label11 = makeLabel(TempPanel, "Label11", QStringLiteral("Ver 1.12"));
    Label11->setGeometry(770, 585, 80, 18);
    Label11->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label11->setPalette(light);
    ProgressBar1 = named(new QProgressBar(TempPanel), "ProgressBar1", "TProgressBar");
    ProgressBar1->setGeometry(40, 625, 793, 14);
    ProgressBar1->setRange(0, 16000);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setStyleSheet(QStringLiteral(
        "QProgressBar { background: rgba(255, 255, 255, 38); border: none; border-radius: 4px; }"
        "QProgressBar::chunk { background: #4fc3c8; border-radius: 4px; }"));
    TempPanel->raise();
}

QList<QWidget *> TForm1::pollLockedControls() const
{
    return {TempEdBox, PressureEdBox, SpeedEdBox, RainEdBox, PeriodBox, UVIEdBox, SpeedButton1, PressLevel};
}

void TForm1::useLink(const LinkApi &api)
{
    linkApi_ = api;
    linkInjected_ = true;
}

void TForm1::showMessage(const QString &text)
{
    if (messageSink_) {
        messageSink_(text);
        return;
    }
    if (context_.quietMessages) {
        qWarning("%s", qPrintable(text));
        return;
    }
    QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
}

void TForm1::setLed(int colorIndex, bool blinking)
{
    ObmenLed->setColorIndex(colorIndex);
    ObmenLed->setBlinking(blinking);
}

bool TForm1::FormCreate()
{
    deviceHandle_ = nullptr;
    checkTranslationTable();
    openTables();
    recorder_->setHistory(history_.get());
    recorder_->setHeaderCopyPath(filePath(QStringLiteral("sumlocal.bin")));
    openCityTable();
    fillCityBox();
    applySettings();
    IsUserCityClick();
    LangBoxChange();

    if (!linkInjected_) {
        const LinkLoadError error = library_.load(context_.libraryFolders);
        if (error == LinkLoadError::MissingOperation) {
            showMessage(ErrorDll->text());
            return false;
        }
        if (error != LinkLoadError::None) {
            sStatusBar1->setPanelText(0, StationOff->text());
            showMessage(ErrorLoadDll->text());
            return false;
        }
        linkApi_ = library_.api();
    }
    openDevice();

    Timer1->start();
    Form2Timer1->start();
    Timer5->start();
    Timer5Timer();
    // A table file that could not be used as usual: said once the window is up.
    if (!tableProblems_.isEmpty())
        QTimer::singleShot(0, this, [this] { showMessage(tableProblems_); });
    return true;
}

QString TForm1::filePath(const QString &name) const
{
    return QDir(context_.workDir).filePath(name);
}

void TForm1::openTables()
{
    const QDateTime now = context_.clock ? context_.clock->now() : QDateTime::currentDateTime();
    auto note = [this](const char *name, TableProblem problem, const QString &setAside, const QString &error,
                       bool used) {
        const QString sentence = tableProblemSentence(QLatin1String(name), problem, setAside, used);
        if (sentence.isEmpty())
            return;
        qWarning("%s (%s)", qPrintable(sentence), qPrintable(error));
        tableProblems_ += (tableProblems_.isEmpty() ? QString() : QStringLiteral(" ")) + sentence;
    };
    HistoryStore::Opened opened = HistoryStore::open(filePath(QStringLiteral("datat")), now);
    note("datat", opened.problem, opened.setAside, opened.error, bool(opened.store));
    history_ = std::move(opened.store);

    SettingsStore::Opened settings = SettingsStore::open(filePath(QStringLiteral("datsum")), now);
    note("datsum", settings.problem, settings.setAside, settings.error, bool(settings.store));
    settingsStore_ = std::move(settings.store);
}

void TForm1::applySettings()
{
    const std::optional<Settings> stored = settingsStore_ ? settingsStore_->load() : std::nullopt;
    if (!stored)
        return;
    settings_ = *stored;
    // Setting an index runs no change handler; an index the box does not
    // have leaves the form's default.
    auto apply = [](QComboBox *box, int index) {
        if (index >= 0 && index < box->count()) {
            const QSignalBlocker block(box);
            box->setCurrentIndex(index);
        }
    };
    apply(LangBox, settings_.Lang);
    apply(TempEdBox, settings_.Temp);
    apply(PressureEdBox, settings_.Press);
    apply(SpeedEdBox, settings_.Speed);
    apply(RainEdBox, settings_.Rain);
    apply(UVIEdBox, settings_.UVI);
    ui.IsUserCity->setChecked(settings_.UserCoord != 0);
}

void TForm1::saveSettings()
{
    if (!settingsStore_)
        return;
    // A language box left empty by a missing translation table keeps the
    // stored choice for the next start.
    if (LangBox->currentIndex() >= 0)
        settings_.Lang = LangBox->currentIndex();
    settings_.Temp = TempEdBox->currentIndex();
    settings_.Press = PressureEdBox->currentIndex();
    settings_.Speed = SpeedEdBox->currentIndex();
    settings_.Rain = RainEdBox->currentIndex();
    settings_.UVI = UVIEdBox->currentIndex();
    settings_.UserCoord = ui.IsUserCity->isChecked() ? 1 : 0;
    // With no city selected the stored code stays as it was.
    if (ui.CityBox->currentIndex() >= 0)
        settings_.CityCode = ui.CityBox->currentData().toInt();
    if (!settingsStore_->save(settings_))
        showMessage(QStringLiteral("The settings could not be saved: %1").arg(settingsStore_->lastError()));
}

void TForm1::openDevice()
{
    deviceHandle_ = linkApi_.open(nullptr, kStationVendorId, kStationProductId, kLinkInputSize, kLinkOutputSize, 0);
    recorder_->setLink(&linkApi_, deviceHandle_);
}

void TForm1::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    recorder_->shutDown();
    Timer5->stop();
    if (!keepStoredSettings_) {
        saveSettings();
        saveCityTable();
    }
    settingsStore_.reset();
    cityTable_.reset();
    if (linkApi_.close && deviceHandle_)
        linkApi_.close(deviceHandle_, 0);
    deviceHandle_ = nullptr;
    recorder_->setLink(nullptr, nullptr);
    recorder_->setHistory(nullptr);
    library_.unload();
    history_.reset();
}

void TForm1::Timer1Timer()
{
    recorder_->linkCheck();
}

void TForm1::Form2Timer1Timer()
{
    recorder_->startFullRead();
}

void TForm1::Form2Timer2Timer()
{
    recorder_->pauseOver();
}

void TForm1::Timer2Timer()
{
    recorder_->poll();
}

void TForm1::showLinkState()
{
    linkStateShown_ = true;
    const bool connected = recorder_->connected();
    QString text = connected ? StationOn->text() : StationOff->text();
    if (!connected && recorder_->linkError() == USBLINK_NO_PERMISSION)
        text = NoAccess->text();
    else if (!connected && recorder_->linkError() == USBLINK_OPEN_FAILED)
        text = NoOpen->text();
    sStatusBar1->setPanelText(0, text);
}

void TForm1::showConnection(bool connected)
{
    showLinkState();
    if (connected) {
        TempPanel->show();
        TempPanel->raise();
    }
}

// A full read shows the progress panel and keeps the unit and station
// settings locked until it ends.
void TForm1::showFullRead(bool active)
{
    for (QWidget *w : pollLockedControls())
        w->setEnabled(!active);
    TempPanel->setVisible(active);
    if (active)
        TempPanel->raise();
}

void TForm1::Timer3Timer()
{
    Timer3->stop();
}

void TForm1::Timer4Timer()
{
    Timer4->stop();
}

void TForm1::Timer5Timer()
{
    const QDateTime clock = now();
    LocalDate->setText(formatDateTime(clock, QStringLiteral("dd mmmm yyyy")));
    LocalTime->setText(formatDateTime(clock, QStringLiteral("hh:mm:ss")));
}

void TForm1::BitBtn1Click()
{
    const QPoint below = BitBtn1->mapToGlobal(QPoint(0, BitBtn1->height()));
    PopupMenu1->popup(below);
}

void TForm1::N1Click()
{
    if (!recorder_->clearHistory())
        qWarning("The history could not be cleared: %s", qPrintable(history_->lastError()));
    Q_EMIT historyCleared();
}

// ---- What the recorder reports ------------------------------------------------

void TForm1::showStage(ReadStage stage, int attempt)
{
    stage_ = stage;
    QString text;
    switch (stage) {
    case ReadStage::LoadingFromStation: text = LoadFrom->text(); break;
    case ReadStage::SavingToComputer: text = SaveFrom->text(); break;
    case ReadStage::NoStation: text = ErrorConnect->text(); break;
    }
    if (attempt > 1)
        text += QStringLiteral(" (%1 %2)").arg(RepeatRead->text()).arg(attempt);
    Label10->setText(text);
}

void TForm1::showFileError()
{
    const QString text = QStringLiteral("Can't perform one of the following file operations: Open, Seek, Read, Close.");
    if (messageSink_ || context_.quietMessages) {
        showMessage(text);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("File Error"), text, QMessageBox::Ok | QMessageBox::Cancel);
}

// What the window shows, as text: the same formatters, units and
// placeholders as the panels.
QString TForm1::conditionsSummary() const
{
    const Measurement &m = measurement();
    QString text;
    auto line = [&text](const QString &what, const QString &value) {
        text += what.leftJustified(22) + QLatin1Char(' ') + value + QLatin1Char('\n');
    };
    auto shown = [this](const char *name) {
        const QLabel *label = findChild<QLabel *>(QLatin1String(name));
        return label ? label->text() : QString();
    };
    const QString degrees = m.TemperatureUnit == 1 ? QStringLiteral("°F") : QStringLiteral("°C");
    const QString speed = SpeedEdBox->currentText();
    line(QStringLiteral("Station:"), sStatusBar1->panelText(0));
    line(QStringLiteral("Newest record:"), m.Dat.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    line(QStringLiteral("Indoor:"), QStringLiteral("%1 %2, %3 %")
                                        .arg(formatIndoorTemperature(m, m.TemperatureUnit), degrees,
                                             formatIndoorHumidity(m)));
    for (int c = 0; c < kChannelCount; ++c)
        line(QStringLiteral("Channel %1:").arg(c + 1),
             m.TempCHState[c] == kStateNoSensor
                 ? QStringLiteral("no sensor")
                 : QStringLiteral("%1 %2, %3 %")
                       .arg(formatChannelTemperature(m, c, m.TemperatureUnit), degrees, formatChannelHumidity(m, c)));
    line(QStringLiteral("Pressure:"), QStringLiteral("%1 %3 at sea level, %2 %3 at the station")
                                          .arg(shown("PressureLabel"), shown("PressureLocalL"),
                                               PressureEdBox->currentText()));
    line(QStringLiteral("Wind:"), QStringLiteral("%1 %3, gusts %2 %3, from %4")
                                      .arg(formatWindSpeed(m, m.SpeedUnit), formatWindGust(m, m.SpeedUnit), speed,
                                           formatWindDirectionName(m)));
    line(QStringLiteral("Rain:"), QStringLiteral("%1 last hour, %2 in 24 hours, %3 in total (%4)")
                                      .arg(shown("RainLHL"), shown("RainLDL"), shown("AllRainL"),
                                           RainEdBox->currentText()));
    line(QStringLiteral("UV:"), QStringLiteral("%1 %2").arg(shown("UVLabel"), UVIEdBox->currentText()));
    line(QStringLiteral("Location:"), QStringLiteral("%1, sunrise %2, sunset %3")
                                          .arg(ui.CityBox->currentText(), ui.VoshodL->text(), ui.ZahodL->text()));
    line(QStringLiteral("Records taken over:"), QString::number(slotsTakenOver()));
    return text;
}

}  // namespace nimbrel

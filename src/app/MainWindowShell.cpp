// The main window's shell around its regions: the hidden labels whose
// captions are the run-time messages, the status bar with the exchange LED,
// and the start-up progress panel that covers the whole window.
#include "MainWindowUi.h"

#include "BlinkLed.h"
#include "JpegImage.h"
#include "PanelStatusBar.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>

namespace nimbrel {

namespace {

QLabel *plainLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = named(new QLabel(text, parent), name, "TLabel");
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

void MainWindowUi::buildShell(QWidget *form)
{
    // Hidden labels whose captions are the program's run-time messages, so a
    // language switch reaches them like any other caption.
    auto hidden = [form](const char *name, const QString &text) {
        QLabel *label = plainLabel(form, name, text);
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
    ClearAsk = hidden("ClearAsk", QStringLiteral("Удалить сохранённую историю: %1 записей с %2 по %3? Копия останется "
                                                 "в папке данных; её восстанавливает nimbrel-tool restore-cleared."));
    ClearRefused = hidden("ClearRefused", QStringLiteral("Идёт чтение станции: история не очищена. Повторите, когда "
                                                         "чтение закончится."));
    ClearNotCopied = hidden("ClearNotCopied", QStringLiteral("История не очищена: не удалось сохранить её копию (%1)."));
    SinceCaption = hidden("SinceCaption", QStringLiteral("С :"));
    // Shown after the progress text while a block is read again.
    RepeatRead = hidden("RepeatRead", QStringLiteral("повтор"));

    sStatusBar1 = named(new PanelStatusBar(form), "sStatusBar1", "TStatusBar");
    sStatusBar1->setGeometry(0, kClientHeight - 17, kClientWidth, 17);
    sStatusBar1->addPanel(QStringLiteral("Состояние поключения:"), 250);
    sStatusBar1->addPanel(QStringLiteral("Последнее обновление:"), 250);
    sStatusBar1->addPanel(QString(), 150);
    sStatusBar1->addPanel(QStringLiteral("version " NIMBREL_VERSION), 70, Qt::AlignCenter);
    sStatusBar1->addPanel(QStringLiteral("nimbrel.org"), 100, Qt::AlignCenter);

    ObmenLed = named(new BlinkLed(sStatusBar1), "ObmenLed", "TVrBlinkLed");
    ObmenLed->setGeometry(kClientWidth - 30, 1, 15, 15);
    ObmenLed->setToolTip(QStringLiteral("Индикатор операции обмена данными"));
    ObmenLed->setColorPairs({{Qt::black, Qt::red},
                             {Qt::black, QColor(0, 255, 255)},
                             {Qt::black, Qt::yellow},
                             {Qt::black, QColor(0, 255, 0)}});
    ObmenLed->setColorIndex(0);

    TempPanel = named(new QFrame(form), "TempPanel", "TPanel");
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
    Label10 = plainLabel(TempPanel, "Label10", QStringLiteral("Подключение к метеостанции"));
    Label10->setGeometry(40, 585, 700, 36);
    Label10->setPalette(light);
    QFont status = Label10->font();
    status.setPixelSize(15);
    Label10->setFont(status);
    Label11 = plainLabel(TempPanel, "Label11", QStringLiteral("Ver " NIMBREL_VERSION));
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

}  // namespace nimbrel

// The two station settings beside the unit selectors: the altitude (which
// drives the station-pressure figure) and the interval at which the station
// stores history. Both are written into the station's memory through the
// recorder, which waits for any running exchange, reads the block fresh,
// changes only the setting's bytes and reads it back to confirm.
#include "TForm1.h"

#include "PanelStatusBar.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace nimbrel {

namespace {

constexpr int kAltitudeAddress = 90;  // bytes 90, 91: magnitude; 92: 8 when negative
constexpr int kAltitudeLimit = 65535;  // the magnitude has 16 bits
constexpr int kStatusMessageMs = 10000;

}  // namespace

std::optional<int> parseAltitude(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < -kAltitudeLimit || value > kAltitudeLimit)
        return std::nullopt;
    return value;
}

void TForm1::SpeedButton1Click()
{
    const std::optional<int> altitude = parseAltitude(PressLevel->text());
    if (!altitude) {
        PressLevel->setText(QString::number(summary().Altitude));
        showStatusMessage(AltitudeRefused->text());
        return;
    }
    // Without a station nothing is written and nothing changes; the edit
    // keeps what was typed until the next refresh.
    if (!recorder_->connected())
        return;
    const int v = *altitude;
    recorder_->requestWrite({kAltitudeAddress, [v](StationImage &image) {
                                 const int magnitude = v < 0 ? -v : v;
                                 image[kAltitudeAddress] = static_cast<std::uint8_t>(magnitude & 0xFF);
                                 image[kAltitudeAddress + 1] = static_cast<std::uint8_t>(magnitude >> 8);
                                 image[kAltitudeAddress + 2] = v < 0 ? 8 : 0;
                             }});
}

void TForm1::PeriodBoxChange()
{
    if (!recorder_->connected())
        return;
    const int code = PeriodBox->currentIndex() + 1;
    if (code < 1)
        return;
    recorder_->requestWrite({kPeriodByte, [code](StationImage &image) {
                                 image[kPeriodByte] = static_cast<std::uint8_t>(code);
                             }});
}

// The station now holds what it confirmed (or what it kept): the header is
// decoded from the block read back, and the window shows it.
void TForm1::showWriteResult(int, WriteError error)
{
    recorder_->redecodeHeader();
    RefreshDisplay();
    showStatusMessage(error == WriteError::None ? SettingWritten->text() : SettingNotWritten->text());
}

void TForm1::showStatusMessage(const QString &text)
{
    sStatusBar1->setPanelText(0, text);
    statusMessageTimer_->start(kStatusMessageMs);
}

}  // namespace nimbrel

// The history window's channel choice: the two channel boxes move together,
// and a named channel's name is in the boxes and in its series' titles.
#include "PanelKit.h"
#include "TForm3.h"

#include <QComboBox>

namespace nimbrel {

void TForm3::CHBoxChange()
{
    TempEdBoxChange();
    if (CHBox->currentIndex() >= 0)
        CH1Box->setCurrentIndex(CHBox->currentIndex());
    showChannelNames();
    readChart(Hum);
}

void TForm3::CH1BoxChange()
{
    if (CH1Box->currentIndex() >= 0)
        CHBox->setCurrentIndex(CH1Box->currentIndex());
    CHBoxChange();
}

void TForm3::showChannelNames()
{
    panel::nameChannelItems(CHBox, channelNames_);
    panel::nameChannelItems(CH1Box, channelNames_);
    const int channel = CHBox->currentIndex();
    const QString name = channel >= 0 && channel < static_cast<int>(channelNames_.size())
                             ? channelNames_[static_cast<std::size_t>(channel)]
                             : QString();
    const auto titled = [&](const QString &title) {
        return name.isEmpty() ? title : QStringLiteral("%1: %2").arg(title, name);
    };
    TempChart->setSeriesTitle(1, titled(channelSeriesTitles_[0]));
    HumChart->setSeriesTitle(1, titled(channelSeriesTitles_[1]));
}

}  // namespace nimbrel

// The main window's language switch: the engine's language, and the texts
// of the translation table put into this window. The history window
// translates itself when the engine's language changes.
#include "TForm1.h"

#include "FromTimeText.h"
#include "LangTable.h"
#include "PanelKit.h"
#include "StationEngine.h"
#include "PanelStatusBar.h"
#include "StatusView.h"
#include "Translation.h"

#include <QComboBox>
#include <QLabel>

namespace nimbrel {

QLocale TForm1::dateLocale() const
{
    return languageLocale(ui.LangBox->currentIndex());
}

void TForm1::LangBoxChange()
{
    std::unique_ptr<LangTable> table = engine_.openTranslations();
    // A table that went missing since start-up leaves every text as it is.
    if (!table)
        return;
    const int language = ui.LangBox->currentIndex();
    if (!languageColumn(language).isEmpty()) {
        translateWindow(this, table->rows(1), language, false);
        translateWindow(this, table->rows(2), language, false);
        panel::nameChannelItems(ui.temperature().channelBox(), engine_.publishSettings().channels.names);
    }
    table.reset();
    engine_.setLanguage(language);

    // Status panel 0 shows the link state once it is known; the switch has
    // put the panel's caption there, so the state is said again, in the
    // new language.
    status_->retell();
    // The dates with names follow at once.
    Timer5Timer();
    ui.showCalendar(now().date(), dateLocale());
    if (!ui.sStatusBar1->panelText(2).isEmpty())
        ui.sStatusBar1->setPanelText(2, lastUpdateText(measurement().Dat, now(), dateLocale()));
    showSinceCaptions();

    // The comfort words on screen follow at once. A label the refresh left
    // empty (no channel sensor) stays empty.
    const std::pair<const char *, const char *> comfort[] = {{"ComfStateL", "ComfState"},
                                                             {"ComfState1L", "ComfStateCH"}};
    for (const auto &[labelName, wordsName] : comfort) {
        auto *label = findChild<QLabel *>(QLatin1String(labelName));
        auto *words = findChild<QComboBox *>(QLatin1String(wordsName));
        if (label && words && !label->text().isEmpty())
            label->setText(words->currentText());
    }
}

}  // namespace nimbrel

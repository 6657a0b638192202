// The menu's two commands for the user's files: exporting the history (the
// same files `nimbrel-tool export` writes: CSV in SI or the window's units,
// JSON lines, a weewx archive) and opening the data folder in the desktop's
// file manager.
#include "HistoryCsv.h"
#include "TForm1.h"

#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QUrl>
#include <algorithm>
#include <iterator>

namespace nimbrel {

void TForm1::ExportHistoryItemClick()
{
    if (!engine_.history()) {
        showMessage(QStringLiteral("The history cannot be read, so there is nothing to export."));
        return;
    }
    // The file types of the save dialog are the export's choices, in the
    // order of ExportFormatBox; the first (CSV in SI units) is chosen.
    struct Choice {
        ExportFormat format;
        bool userUnits;
        const char *suffix;
    };
    static constexpr Choice kChoices[] = {{ExportFormat::Csv, false, "csv"},
                                          {ExportFormat::Csv, true, "csv"},
                                          {ExportFormat::JsonLines, false, "jsonl"},
                                          {ExportFormat::WeewxArchive, false, "sdb"}};
    QStringList filters;
    for (int i = 0; i < static_cast<int>(std::size(kChoices)); ++i)
        filters << QStringLiteral("%1 (*.%2)").arg(ui.ExportFormatBox->itemText(i), QLatin1String(kChoices[i].suffix));

    // Window-modal and not waiting here, so the timers and the station
    // exchange carry on while the user picks a file.
    QString title = ui.ExportHistoryItem->text();
    if (title.endsWith(QChar(0x2026)))
        title.chop(1);
    auto *dialog = new QFileDialog(this, title, engine_.context().workDir);
    dialog->setObjectName(QStringLiteral("ExportHistoryDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("nimbrel-history-%1.csv").arg(now().date().toString(QStringLiteral("yyyyMMdd"))));
    // Qt's own dialog changes the proposed name's suffix with the file
    // type; a name typed without one gets the type's.
    connect(dialog, &QFileDialog::filterSelected, dialog, [dialog, filters](const QString &filter) {
        const qsizetype chosen = filters.indexOf(filter);
        if (chosen >= 0)
            dialog->setDefaultSuffix(QLatin1String(kChoices[chosen].suffix));
    });
    connect(dialog, &QFileDialog::fileSelected, this, [this, dialog, filters](const QString &path) {
        const HistoryStore *history = engine_.history();
        if (!history)
            return;
        const Choice choice = kChoices[std::max<qsizetype>(0, filters.indexOf(dialog->selectedNameFilter()))];
        CsvUnits units;
        units.user = choice.userUnits;
        units.codes.Temp = ui.TempEdBox->currentIndex();
        units.codes.Press = ui.PressureEdBox->currentIndex();
        units.codes.Speed = ui.SpeedEdBox->currentIndex();
        units.codes.Rain = ui.RainEdBox->currentIndex();
        units.codes.UVI = ui.UVIEdBox->currentIndex();
        const ChannelSettings &channels = engine_.publishSettings().channels;
        units.channelNames = channels.names;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QString why;
        const bool exported = exportHistory(*history, path, choice.format, units, channels.outdoor, &why);
        QGuiApplication::restoreOverrideCursor();
        if (!exported)
            showMessage(QStringLiteral("The history could not be exported to %1: %2")
                            .arg(QDir::toNativeSeparators(path), why));
    });
    dialog->open();
}

void TForm1::OpenDataFolderItemClick()
{
    const QString folder = engine_.context().workDir;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        showMessage(QStringLiteral("The data folder %1 could not be opened.").arg(QDir::toNativeSeparators(folder)));
}

}  // namespace nimbrel

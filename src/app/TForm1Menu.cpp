// The menu's two commands for the user's files: exporting the history as
// CSV (the same file `nimbrel-tool export` writes) and opening the data
// folder in the desktop's file manager.
#include "HistoryCsv.h"
#include "TForm1.h"

#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QUrl>

namespace nimbrel {

void TForm1::ExportHistoryItemClick()
{
    if (!engine_.history()) {
        showMessage(QStringLiteral("The history cannot be read, so there is nothing to export."));
        return;
    }
    // Window-modal and not waiting here, so the timers and the station
    // exchange carry on while the user picks a file.
    auto *dialog = new QFileDialog(this, QStringLiteral("Export history"), engine_.context().workDir,
                                   QStringLiteral("CSV files (*.csv);;All files (*)"));
    dialog->setObjectName(QStringLiteral("ExportHistoryDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("nimbrel-history-%1.csv").arg(now().date().toString(QStringLiteral("yyyyMMdd"))));
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        const HistoryStore *history = engine_.history();
        if (!history)
            return;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QString why;
        const bool exported = exportHistoryCsv(*history, path, &why);
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

// The history as CSV, one row per record, oldest first, for spreadsheets and
// scripts: the fields of the table under their own names, dates as
// "YYYY-MM-DDTHH:MM:SS", numbers in the C locale as the shortest text that
// reads back as the stored value; a remote channel's two cells are empty
// where it had no reading (stored as 0.0 and 0). Written by `nimbrel-tool export` and by the
// main window's "Export history…".
#pragma once

#include "HistoryStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

namespace nimbrel {

QByteArray historyCsvHeader();
QByteArray historyCsvLine(const HistoryRow &row);

// Hands the header and the rows with after < Dat <= upTo to `put` in chunks
// of about 64 KiB; stops at the first chunk `put` refuses. False when a
// chunk was refused or the history could not be read (store.lastError()).
bool writeHistoryCsv(const HistoryStore &store, const QDateTime &after, const QDateTime &upTo,
                     const std::function<bool(const QByteArray &)> &put);

// The whole history into `path`, replacing the file only once the CSV is
// completely on disk. False, with the reason in `why`, on any failure.
bool exportHistoryCsv(const HistoryStore &store, const QString &path, QString *why);

}  // namespace nimbrel

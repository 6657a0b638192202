// Any bytes as the history file `datat`: opened for reading only (as the
// history window and the command-line tool do) and opened for use (as the
// program does at start), then read through the store's queries.
#include "FuzzSupport.h"
#include "HistoryStore.h"

using namespace nimbrel;

namespace {

void readAll(const HistoryStore &store)
{
    // A reader does not check the file's indexes: only the reads themselves
    // are tried here; the program's own open is held to more below.
    HistoryRow row;
    store.newest(row);
    store.oldest(row);
    const long long count = store.count();
    NIMBREL_FUZZ_CHECK(count >= 0);
    const QDateTime from(QDate(1900, 1, 1), QTime(0, 0));
    const QDateTime to(QDate(2200, 1, 1), QTime(0, 0));
    long long visited = 0;
    store.forEachBetween(from, to, RowOrder::NewestFirst, [&](const HistoryRow &) { return ++visited < 1000; });
    const auto rows = store.rowsBetween(from, to);
    NIMBREL_FUZZ_CHECK(rows.size() <= static_cast<std::size_t>(std::max(count, 0LL)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::startQuietQt();
    static fuzz::ScratchFolder folder;
    const QDateTime now(QDate(2026, 6, 21), QTime(12, 0));

    const QString path = folder.put(QStringLiteral("datat"), data, size);
    if (auto reader = HistoryStore::openForReading(path))
        readAll(*reader);

    HistoryStore::Opened opened = HistoryStore::open(path, now);
    if (opened.store) {
        readAll(*opened.store);
        // The program's own open checks every index of a small file: what
        // it keeps answers its queries consistently.
        HistoryRow row;
        NIMBREL_FUZZ_CHECK(opened.store->newest(row) == (opened.store->count() > 0));
        Measurement m;
        m.Dat = now;
        opened.store->append(m);
    }
    return 0;
}

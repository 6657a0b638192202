// Appends records to a history file one by one until it is killed, printing
// each record's date once its append has returned (and so is committed).
// A test kills it at a random moment and checks that every printed record
// survived. Usage: crash_appender FILE
#include "HistoryStore.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: crash_appender FILE\n", stderr);
        return 2;
    }
    using namespace nimbrel;
    HistoryStore::Opened opened = HistoryStore::open(QString::fromLocal8Bit(argv[1]), QDateTime::currentDateTime());
    if (!opened.store) {
        std::fprintf(stderr, "crash_appender: %s\n", qPrintable(opened.error));
        return 1;
    }
    HistoryStore &store = *opened.store;

    // Carry on after the newest record of an earlier run, five minutes apart
    // (in UTC, where no clock hour is skipped or repeated).
    HistoryRow newest;
    QDateTime when = store.newest(newest) ? QDateTime(newest.Dat.date(), newest.Dat.time(), Qt::UTC).addSecs(300)
                                          : QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    Measurement m;
    for (long n = 0;; ++n, when = when.addSecs(300)) {
        m.Dat = when;
        m.DayWeek = static_cast<std::uint16_t>(when.date().dayOfWeek());
        m.TempDoor = 20.0 + static_cast<double>(n % 50) / 10.0;
        m.HumDoor = static_cast<int>(40 + n % 20);
        m.PressLocal = 1000.0 + static_cast<double>(n % 300) / 16.0;
        m.RainCount = static_cast<std::int32_t>(n);
        if (store.append(m) != AppendResult::Appended) {
            std::fprintf(stderr, "crash_appender: append failed: %s\n", qPrintable(store.lastError()));
            return 1;
        }
        std::printf("%s\n", qPrintable(HistoryStore::dateText(m.Dat)));
        std::fflush(stdout);
    }
}

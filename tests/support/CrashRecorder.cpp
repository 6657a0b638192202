// Runs full reads against a simulated station into a history file until it
// is killed; before each read the station stores a whole new ring of records,
// so every read commits new rows batch by batch. Prints each completed read's
// newest record. A test kills it at random moments and checks the file.
// Usage: crash_recorder FILE
#include "HistoryStore.h"
#include "Recorder.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: crash_recorder FILE\n", stderr);
        return 2;
    }
    using namespace nimbrel;
    HistoryStore::Opened opened = HistoryStore::open(QString::fromLocal8Bit(argv[1]), QDateTime::currentDateTime());
    if (!opened.store) {
        std::fprintf(stderr, "crash_recorder: %s\n", qPrintable(opened.error));
        return 1;
    }
    // Carry on after the records of earlier runs.
    sim::SimConfig config;
    HistoryRow newest;
    if (opened.store->newest(newest))
        config.start = HistoryStore::dateText(newest.Dat.addSecs(300)).toStdString();
    test::SimLink link(config);
    LinkApi api = link.api();
    Recorder recorder;
    recorder.setLink(&api, api.open(nullptr, kStationVendorId, kStationProductId, 2048, 2048, 0));
    recorder.setHistory(opened.store.get());
    recorder.linkCheck();
    for (;;) {
        link.station().addSlots(kSlotCount);
        if (recorder.fullRead() != FullReadResult::Completed) {
            std::fprintf(stderr, "crash_recorder: full read failed: %s\n", qPrintable(opened.store->lastError()));
            return 1;
        }
        std::printf("%s\n", qPrintable(HistoryStore::dateText(recorder.measurement().Dat)));
        std::fflush(stdout);
    }
}

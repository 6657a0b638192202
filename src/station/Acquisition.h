// The two read sequences that keep the program's mirror of the station in
// step: the full read (all 256 blocks, then every slot of the history ring)
// and the incremental read run by the ten-second poll (the index block, and
// when exactly one new slot has appeared, the header and that slot).
//
// What the sequences show, decode and store is the host's business (the main
// window); this class owns the connection state and the order of the steps.
#pragma once

#include "StationExchange.h"
#include "StationImage.h"

class QTimer;

namespace nimbrel {

// Texts of the progress panel's status line during a full read.
enum class ReadStage { LoadingFromStation, SavingToComputer, NoStation };

class AcquisitionHost {
public:
    virtual ~AcquisitionHost() = default;
    virtual void showStage(ReadStage stage) = 0;
    virtual void setProgress(int position) = 0;  // 0..16000
    virtual void repaintWindow() = 0;
    // No station: pause, then show the stored history's newest row and the
    // saved header copy.
    virtual void showStoredData() = 0;
    // After all 256 blocks were read while connected.
    virtual void saveHeaderCopy() = 0;
    // Full read: take over the slot at position (decode and store it).
    // False when storing failed and the read must end; a slot that does not
    // decode is skipped (true). The slots of one full read come between
    // beginTakeOver and endTakeOver, so they can be stored as one batch.
    virtual void beginTakeOver() {}
    virtual bool takeOverSlot(int position) = 0;
    virtual void endTakeOver() {}
    // Incremental read: decode the newest slot at position and the header,
    // store the record and refresh the display. False when the slot is
    // rejected or storing fails.
    virtual bool takeOverNewest(int position) = 0;
    // A new record was taken over and the window repainted.
    virtual void newRecordTaken() = 0;
};

enum class FullReadResult {
    Completed,     // every block read; the slots taken over; polling may start
    NoStation,     // the fall-back path showed the stored data
    BlockFailed,   // a block read failed; the image keeps what arrived
    SlotRejected,  // a slot could not be taken over
    BadSlotIndex,  // the index byte names no slot of the ring (above 208)
};

enum class PollResult {
    NotConnected,
    NoNewRecord,
    NewRecord,
    Gap,           // the ring moved by more than one slot: a full read is due
    ReadFailed,
    Rejected,
};

class Acquisition {
public:
    Acquisition(AcquisitionHost &host, StationImage &image, StationExchange &exchange, QTimer *pollTimer);

    FullReadResult fullRead();
    PollResult incrementalRead();

    // Connection state, changed by the link check at any pumping point.
    bool connected = false;
    // A station exchange (read or write) is running.
    bool busy = false;
    // The next link check starts a full read.
    bool fullReadPending = true;
    // Image position of the newest slot taken over; 0 = a full read is needed.
    int lastRecordPosition = 0;
    // Image position of the slot being decoded.
    int recordPosition = 0;
    // The poll's interval, set again whenever a new record is taken over.
    int pollIntervalMs = 10000;

    BlockError lastBlockError() const { return lastBlockError_; }

    // Start position of the full read's walk over the ring: 219 when the
    // newest slot is slot 0, else 257 (slot 0 overlaps the header).
    static int ringWalkStart(int newestPosition);

private:
    bool readOrRecord(int address);

    AcquisitionHost &host_;
    StationImage &image_;
    StationExchange &exchange_;
    QTimer *pollTimer_;
    BlockError lastBlockError_ = BlockError::None;
};

}  // namespace nimbrel

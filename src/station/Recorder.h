// The recorder: everything between the station link and the stored history,
// without a widget. It owns the program's mirror of the station memory, the
// current record and header, and the connection state machine:
//
//   Disconnected --link check finds the station--> Awaiting full read
//   Awaiting full read --full read completes--> Polling
//   Polling --the ring moved too far / link lost--> Awaiting full read / Disconnected
//
// Its own timers call its handlers (link check, poll, full-read start, the
// no-station pause) once start() has run. Everything runs on one thread,
// and waiting for the station pumps the event queue, so handlers re-enter.
// `busy` marks a running exchange: a poll, a full read or a settings write
// that arrives while another runs is deferred and runs as soon as that one
// ends.
//
// What the recorder decided is told through signals; whoever listens shows
// progress and refreshes, and takes no part in the exchange.
#pragma once

#include "Decoding.h"
#include "HandoverMirror.h"
#include "HistoryWriter.h"
#include "LinkApi.h"
#include "Measurement.h"
#include "StationExchange.h"
#include "StationImage.h"
#include "StationSummary.h"

#include <QDateTime>
#include <QObject>
#include <bitset>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace nimbrel {

class HistoryStore;

// Texts of the progress panel's status line during a full read.
enum class ReadStage { LoadingFromStation, SavingToComputer, NoStation };

enum class FullReadResult {
    Completed,     // every block read; the ring taken over; polling may start
    NoStation,     // the fall-back path loaded the stored data
    BlockFailed,   // a block failed every try; the next attempt resumes there
    BadSlotIndex,  // the index byte names no slot of the ring (above 208)
};

enum class PollResult {
    NotConnected,
    NoNewRecord,
    NewRecord,    // one or more new records taken over
    Gap,          // the ring moved too far to catch up slot by slot: a full read is due
    ReadFailed,
    Rejected,     // the newest slot's date does not exist
};

// The recorder's timers, under the names the program has always given them
// (tests and diagnostics find them by name).
struct RecorderTimers {
    QTimer *linkCheck = nullptr;       // Timer1, every second
    QTimer *poll = nullptr;            // Timer2, every ten seconds
    QTimer *readTimeout = nullptr;     // Timer3, one block read
    QTimer *writeTimeout = nullptr;    // Timer4, one write acknowledgement
    QTimer *fullReadStart = nullptr;   // Form2Timer1, one-shot
    QTimer *noStationPause = nullptr;  // Form2Timer2, one-shot three seconds
};

// A settings change written to the station: `change` edits the image's
// bytes of the 32-byte block at `address` after it has been read fresh.
struct StationWrite {
    int address = 0;
    std::function<void(StationImage &)> change;
};

class Recorder : public QObject {
    Q_OBJECT
public:
    // Tries per block before a sequence gives up on it.
    static constexpr int kBlockTries = 4;
    // Records a poll catches up one by one; a larger move means a full read.
    static constexpr int kMaxCatchUp = 32;

    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    // The timers start calling the handlers: the link check every second
    // and the first full read a second from now. Until then the timers only
    // keep time (the exchange's time-outs, the no-station pause) and the
    // handlers run when called.
    void start();
    const RecorderTimers &timers() const { return timers_; }

    // Wiring, before the timers run.
    void setLink(const LinkApi *api, USBHandle device);
    // The history the records are stored in. Records kept while it failed
    // get a last try in the old store before it is let go.
    void setHistory(HistoryStore *history);
    void setHeaderCopyPath(const QString &path) { headerCopyPath_ = path; }
    // Where the mirror is left for the program taking the station over, and
    // found when this one takes it (HandoverMirror.h).
    void setHandoverPath(const QString &path) { handoverPath_ = path; }
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    // The user's chosen city, which replaces the station's location.
    void setUserCity(std::function<std::optional<LocationOverride>()> userCity) { userCity_ = std::move(userCity); }
    // The poll's interval, set again whenever a new record is taken over.
    void setPollInterval(int ms) { pollIntervalMs_ = ms; }
    // How long one try of a block waits for the answer. A station answers
    // within milliseconds; a lost answer is retried after this rather than
    // after the block's whole time-out.
    void setAnswerWait(int ms);

    // The handlers the timers run.
    void linkCheck();        // Timer1
    void poll();             // Timer2
    void startFullRead();    // Form2Timer1
    void pauseOver();        // Form2Timer2
    // Queues a settings write; it runs when no other exchange does and ends
    // with writeFinished.
    void requestWrite(const StationWrite &write);
    // Empties the history; the next link check starts a full read.
    bool clearHistory();
    // Stops every timer; nothing starts again.
    void shutDown();
    // The station is about to be handed to another program: the timers stop
    // and no new exchange starts; one already running stops at the end of
    // the block it reads (a block's answer is not waited for; busy tells
    // when it has stopped); a full read cut short starts over once the
    // station is back. Queued settings writes are dropped. resume() starts
    // again as start() does, for a station that may have moved on meanwhile.
    void suspend();
    void resume();
    // Leaves the mirror for the next program (HandoverMirror.h) when it
    // stands for the station: polling, every record taken over stored, no
    // exchange running. Otherwise no mirror is left and the next program
    // reads the station in full. start() and resume() take a mirror left by
    // another program and carry on polling from it rather than reading the
    // station in full, when the station agrees.
    bool leaveHandover();
    bool suspended() const { return suspended_; }
    // Decodes the header again (the user's city changed).
    void redecodeHeader();

    // The two read sequences, as the handlers run them (tests call them
    // directly).
    FullReadResult fullRead();
    PollResult incrementalRead();

    // State.
    bool connected() const { return connected_; }
    bool busy() const { return busy_; }
    bool fullReadPending() const { return fullReadPending_; }
    bool fullReadRunning() const { return fullReadRunning_; }
    int lastRecordPosition() const { return lastRecordPosition_; }
    int recordPosition() const { return recordPosition_; }
    bool headerRead() const { return headerRead_; }
    const StationImage &image() const { return image_; }
    // The current record and header, as decoded.
    const Measurement &measurement() const { return measurement_; }
    const StationSummary &summary() const { return summary_; }
    USBHandle device() const { return device_; }
    int slotsTakenOver() const { return slotsTakenOver_; }
    // Times a mirror left by another program was carried on from.
    int handoversContinued() const { return handoversContinued_; }
    // Records new to the history so far (a date already stored is not).
    long long recordsStored() const { return writer_.appendedCount(); }
    int blockRetries() const { return blockRetries_; }
    // Records taken over that wait in memory for the history to work again.
    std::size_t recordsKept() const { return writer_.keptCount(); }
    BlockError lastBlockError() const { return lastBlockError_; }
    // The link library's last word on the device (USBGetError), 0 when fine.
    int linkError() const { return linkError_; }

    // The position of slot k and its index; the ring's 209 slots in order.
    static int slotPosition(int index) { return kFirstSlotPosition + index * kSlotSize; }
    static int slotIndex(int position) { return (position - kFirstSlotPosition) / kSlotSize; }
    // Slots from `from` (exclusive) to `to` (inclusive) around the ring.
    static int ringDistance(int fromIndex, int toIndex);

Q_SIGNALS:
    // The first link check's finding, then every change.
    void connectionChanged(bool connected);
    void linkErrorChanged(int code);
    // A full read runs (the progress panel shows, the settings are locked).
    void fullReadActive(bool active);
    // Any exchange with the station runs (the LED blinks).
    void exchangeActive(bool active);
    void stageChanged(nimbrel::ReadStage stage);
    // A block failed and is tried again (try 2, 3, ...).
    void retrying(int address, int attempt);
    void progressChanged(int position);  // 0..16000
    // A new current record was taken over and stored: refresh.
    void recordTaken();
    // One record new to the program, for whoever passes records on, oldest
    // first: after a poll each one it brought; after a full read each one
    // newer than the newest the history held before (at a first start, with
    // an empty history, only the newest). Emitted once the records are stored and the header decoded,
    // just before recordTaken.
    void recordTakenOver(const nimbrel::Measurement &record);
    // After a full read, or a mirror carried on from, that brought no record
    // new to the program: the newest record, stored before (by this program
    // or the one that had the station), which is the current conditions all
    // the same. Just before recordTaken.
    void currentRecordRead(const nimbrel::Measurement &record);
    // Without a station: the newest stored record and the header copy were
    // loaded: refresh.
    void storedDataLoaded();
    void headerCopyUnreadable();
    // sumlocal.bin could not be written (a folder or FIFO of that name, a
    // read-only or full disk).
    void headerCopyNotSaved(const QString &why);
    // A record could not be stored in the history; reading goes on, and the
    // records are kept and stored once the history can be written again.
    // Once for each time the history starts failing.
    void storeFailed(const QString &why);
    void repaintRequested();
    void writeFinished(int address, nimbrel::WriteError error);

private:
    BlockError readBlockWithRetries(int address);
    bool readInvalidBlocks();
    void invalidateSlot(int index);
    void invalidateChangedSlots(int oldIndex, int newIndex);
    FullReadResult takeOverRing(const QDateTime &storedUpTo, std::vector<Measurement> &fresh);
    bool decodeResolved(int position, const QDateTime &reference, Measurement &m) const;
    QDateTime newestReference(const QDateTime &decoded) const;
    HistoryWriter::Outcome store(const Measurement &m);
    void retryStore();
    void loadStoredData();
    bool continueFromMirror(HandoverMirror mirror);
    bool takeMirror();
    PollResult readNewSlots(int current, bool headerFresh);
    bool stopping() const { return shutDown_ || suspended_; }
    void runFullReadExchange();
    WriteError writeNow(const StationWrite &write);
    void beginExchange();
    void endExchange();
    void forgetMirror();
    QDateTime now() const;

    RecorderTimers timers_;
    std::unique_ptr<StationExchange> exchange_;
    const LinkApi *api_ = nullptr;
    USBHandle device_ = nullptr;
    HistoryStore *history_ = nullptr;
    HistoryWriter writer_;
    QString headerCopyPath_;
    QString handoverPath_;
    std::optional<HandoverMirror> mirror_;  // taken at start or resume, for the first read
    // Set while a mirror's records are caught up: the first new record must
    // follow the mirror's newest within two periods (else the ring went
    // round meanwhile).
    QDateTime continuingAfter_;
    std::function<QDateTime()> now_;
    std::function<std::optional<LocationOverride>()> userCity_;

    StationImage image_;
    Measurement measurement_;
    StationSummary summary_;

    bool connected_ = false;
    bool linkChecked_ = false;
    bool busy_ = false;
    bool fullReadPending_ = true;
    bool fullReadRunning_ = false;
    bool pollDeferred_ = false;
    bool shutDown_ = false;
    bool suspended_ = false;
    bool started_ = false;
    bool headerRead_ = false;
    int lastRecordPosition_ = 0;
    int recordPosition_ = 0;
    int pollIntervalMs_ = 10000;
    int slotsTakenOver_ = 0;
    int handoversContinued_ = 0;
    int blockRetries_ = 0;
    int linkError_ = 0;
    BlockError lastBlockError_ = BlockError::None;
    std::deque<StationWrite> pendingWrites_;

    // The full read's progress survives a failed attempt: blocks already
    // mirrored are not read again unless the station has written over them
    // since (known from the slot index it had then).
    std::bitset<kBlockCount> blockValid_;
    int indexAtRead_ = -1;
};

}  // namespace nimbrel

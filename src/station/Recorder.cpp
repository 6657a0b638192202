#include "Recorder.h"

#include "HeaderCopy.h"
#include "HistoryStore.h"

#include <QCoreApplication>
#include <QTimer>
#include <utility>
#include <vector>

namespace nimbrel {

namespace {

constexpr int kProgressMax = 16000;
// Slots stored per transaction while the ring is taken over: an interrupted
// take-over keeps what it committed, and the station still holds the rest.
constexpr int kSlotsPerBatch = 32;
// A new record's date more than this far ahead of the computer's clock is
// taken as last year's December (see newestReference).
constexpr qint64 kClockSlackSecs = 24 * 3600;

int blockOf(int address) { return address / kBlockSize; }

}  // namespace

Recorder::Recorder(QObject *parent) : QObject(parent)
{
    summary_.Unread = true;
    measurement_.NoRecord = true;
    auto make = [this](const char *name, int intervalMs) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(name));
        timer->setInterval(intervalMs);
        return timer;
    };
    timers_.linkCheck = make("Timer1", 1000);
    timers_.poll = make("Timer2", 10000);
    timers_.readTimeout = make("Timer3", 10000);
    timers_.writeTimeout = make("Timer4", 10000);
    timers_.fullReadStart = make("Form2Timer1", 1000);
    timers_.noStationPause = make("Form2Timer2", 3000);
    // The exchange takes a time-out timer that is no longer running as the
    // time-out; the one-shots end themselves.
    for (QTimer *t : {timers_.readTimeout, timers_.writeTimeout, timers_.fullReadStart})
        connect(t, &QTimer::timeout, t, &QTimer::stop);
    connect(timers_.noStationPause, &QTimer::timeout, this, &Recorder::pauseOver);
    exchange_ = std::make_unique<StationExchange>(image_, timers_.readTimeout, timers_.writeTimeout,
                                                  [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    exchange_->setAnswerWait(1000);
    // A handover or the end does not wait for a block's answer.
    exchange_->setCancel([this] { return stopping(); });
}

Recorder::~Recorder() = default;

void Recorder::start()
{
    if (started_ || shutDown_)
        return;
    started_ = true;
    connect(timers_.linkCheck, &QTimer::timeout, this, &Recorder::linkCheck);
    connect(timers_.poll, &QTimer::timeout, this, &Recorder::poll);
    connect(timers_.fullReadStart, &QTimer::timeout, this, &Recorder::startFullRead);
    timers_.linkCheck->start();
    timers_.fullReadStart->start();
    // With a mirror to carry on from, the station is looked for and read at
    // once: only its header is read.
    if (takeMirror())
        QTimer::singleShot(0, this, [this] {
            linkCheck();
            if (connected_)
                startFullRead();
        });
}

void Recorder::setLink(const LinkApi *api, USBHandle device)
{
    api_ = api;
    device_ = device;
    exchange_->setLink(api, device);
}

void Recorder::setHistory(HistoryStore *history)
{
    if (history == history_)
        return;
    writer_.retry();
    history_ = history;
    writer_.setStore(history);
}

void Recorder::setAnswerWait(int ms)
{
    exchange_->setAnswerWait(ms);
}

QDateTime Recorder::now() const
{
    return now_ ? now_() : QDateTime::currentDateTime();
}

int Recorder::ringDistance(int fromIndex, int toIndex)
{
    return ((toIndex - fromIndex) % kSlotCount + kSlotCount) % kSlotCount;
}

// ---- The timers' handlers ----------------------------------------------------

void Recorder::linkCheck()
{
    if (!device_ || !api_ || shutDown_ || suspended_)
        return;
    const bool attached = api_->check(device_) != 0;
    const int error = api_->getError ? api_->getError() : 0;
    if (error != linkError_) {
        linkError_ = error;
        Q_EMIT linkErrorChanged(error);
    }
    const bool changed = attached != connected_ || !linkChecked_;
    linkChecked_ = true;
    if (attached) {
        if (!connected_) {
            connected_ = true;
            // The station came (back): it gets a full read whenever it
            // appears, also during the no-station pause of a full read
            // that found nothing.
            if (!fullReadRunning_)
                fullReadPending_ = true;
        }
    } else {
        if (connected_)
            forgetMirror();
        lastRecordPosition_ = 0;
        connected_ = false;
    }
    if (changed)
        Q_EMIT connectionChanged(connected_);
    if (fullReadPending_) {
        fullReadPending_ = false;
        lastRecordPosition_ = 0;
        // Restarting a running start timer would only delay it.
        if (!timers_.fullReadStart->isActive())
            timers_.fullReadStart->start();
    }
}

void Recorder::startFullRead()
{
    timers_.fullReadStart->stop();
    if (shutDown_ || suspended_)
        return;
    // Another exchange (or the no-station pause) is pumping events and this
    // handler runs inside it: start after it rather than inside it.
    if (busy_) {
        timers_.fullReadStart->start();
        return;
    }
    beginExchange();
    // A mirror stands only for the first read after it was taken.
    std::optional<HandoverMirror> mirror = std::exchange(mirror_, std::nullopt);
    if (!mirror || !connected_ || !continueFromMirror(std::move(*mirror)))
        runFullReadExchange();
    else
        Q_EMIT fullReadActive(false);  // none is due: whoever waits for one waits no more
    endExchange();
}

void Recorder::pauseOver()
{
    timers_.noStationPause->stop();
}

void Recorder::poll()
{
    if (shutDown_ || suspended_)
        return;
    // Records the history could not take are tried again every poll, also
    // without a station.
    if (!busy_)
        retryStore();
    if (!connected_)
        return;
    // busy is only ever held by a handler further down this very call stack
    // (one thread), so waiting for it here would never end: poll as soon as
    // the running exchange has finished.
    if (busy_) {
        pollDeferred_ = true;
        return;
    }
    timers_.poll->stop();
    beginExchange();
    if (lastRecordPosition_ != 0)
        incrementalRead();
    else
        runFullReadExchange();
    endExchange();
}

void Recorder::runFullReadExchange()
{
    fullReadRunning_ = connected_;
    Q_EMIT fullReadActive(true);
    fullRead();
    fullReadRunning_ = false;
    Q_EMIT fullReadActive(false);
}

void Recorder::beginExchange()
{
    busy_ = true;
    Q_EMIT exchangeActive(true);
}

// Ends the running exchange, then runs what waited for it: settings writes
// first (the user is waiting for them), then a deferred poll.
void Recorder::endExchange()
{
    busy_ = false;
    Q_EMIT exchangeActive(false);
    if (shutDown_ || suspended_)
        return;
    timers_.poll->start();
    while (!pendingWrites_.empty() && !busy_) {
        const StationWrite write = pendingWrites_.front();
        pendingWrites_.pop_front();
        busy_ = true;
        Q_EMIT exchangeActive(true);
        const WriteError result = writeNow(write);
        busy_ = false;
        Q_EMIT exchangeActive(false);
        Q_EMIT writeFinished(write.address, result);
    }
    if (pollDeferred_ && !busy_) {
        pollDeferred_ = false;
        QTimer::singleShot(0, this, &Recorder::poll);
    }
}

void Recorder::requestWrite(const StationWrite &write)
{
    if (suspended_)
        return;
    pendingWrites_.push_back(write);
    if (busy_ || shutDown_)
        return;
    // Runs the queue now, through the same path as after an exchange.
    busy_ = true;
    endExchange();
}

bool Recorder::clearHistory()
{
    timers_.poll->stop();
    const bool cleared = !history_ || history_->clear();
    // What waited for the history goes with it; the full read brings back
    // what the station holds.
    if (cleared)
        writer_.setStore(history_);
    fullReadPending_ = true;
    forgetMirror();
    return cleared;
}

void Recorder::shutDown()
{
    shutDown_ = true;
    for (QTimer *t : {timers_.linkCheck, timers_.poll, timers_.readTimeout, timers_.writeTimeout,
                      timers_.fullReadStart, timers_.noStationPause})
        if (t)
            t->stop();
    pendingWrites_.clear();
}

void Recorder::suspend()
{
    suspended_ = true;
    for (QTimer *t : {timers_.linkCheck, timers_.poll, timers_.fullReadStart, timers_.noStationPause})
        t->stop();
    pendingWrites_.clear();
    pollDeferred_ = false;
}

void Recorder::resume()
{
    if (!suspended_ || shutDown_)
        return;
    suspended_ = false;
    // The station went on recording while another program held it, and that
    // program may have written settings: nothing of the mirror still holds.
    forgetMirror();
    connected_ = false;
    linkChecked_ = false;
    fullReadPending_ = true;
    lastRecordPosition_ = 0;
    if (!started_) {
        start();
        return;
    }
    takeMirror();
    timers_.linkCheck->start();
    // The station has been away from this program: it is looked for and
    // read at once rather than after the usual second.
    QTimer::singleShot(0, this, [this] {
        linkCheck();
        if (connected_)
            startFullRead();
    });
}

void Recorder::redecodeHeader()
{
    decodeHeader(image_, measurement_.Dat, summary_, userCity_ ? userCity_() : std::nullopt);
    summary_.Unread = !headerRead_;
    // Every record taken over or loaded has its time; the empty one has none.
    measurement_.NoRecord = !measurement_.Dat.isValid();
}

void Recorder::forgetMirror()
{
    blockValid_.reset();
    indexAtRead_ = -1;
}

// ---- Blocks ---------------------------------------------------------------------

BlockError Recorder::readBlockWithRetries(int address)
{
    // Handing over or ending: the running read stops at this block.
    if (stopping())
        return lastBlockError_ = BlockError::Timeout;
    for (int attempt = 1;; ++attempt) {
        lastBlockError_ = exchange_->readBlock(address);
        if (lastBlockError_ == BlockError::None)
            return lastBlockError_;
        // A lost station is not retried: the link check has seen it go. Nor
        // is a block whose wait a handover or the end cut short.
        if (attempt == kBlockTries || !connected_ || stopping() || lastBlockError_ == BlockError::NoDevice)
            return lastBlockError_;
        ++blockRetries_;
        Q_EMIT retrying(address, attempt + 1);
        exchange_->flush();
    }
}

void Recorder::invalidateSlot(int index)
{
    const int position = slotPosition(index);
    for (int b = blockOf(position); b <= blockOf(position + kSlotSize - 1); ++b)
        blockValid_.reset(static_cast<std::size_t>(b));
}

// The station wrote slots oldIndex+1 .. newIndex since those blocks were
// mirrored; a move too large to tell means everything.
void Recorder::invalidateChangedSlots(int oldIndex, int newIndex)
{
    const int moved = ringDistance(oldIndex, newIndex);
    if (moved > kMaxCatchUp) {
        blockValid_.reset();
        return;
    }
    for (int k = 1; k <= moved; ++k)
        invalidateSlot((oldIndex + k) % kSlotCount);
}

// Reads every block not yet mirrored, in address order, until the slot index
// holds still: a record the station stores meanwhile moves it, and the slots
// written since are read again. A read resumed after a failed attempt first
// reads the index fresh for the same reason.
bool Recorder::readInvalidBlocks()
{
    auto indexMoved = [this]() -> std::optional<bool> {
        if (readBlockWithRetries(kIndexBlock) != BlockError::None)
            return std::nullopt;
        const int index = image_[kSlotIndexByte];
        if (index == indexAtRead_ || index >= kSlotCount)
            return false;
        invalidateChangedSlots(indexAtRead_, index);
        indexAtRead_ = index;
        return true;
    };
    if (indexAtRead_ >= 0) {
        if (!indexMoved())
            return false;
        // The header's current values change all the time.
        for (int b = 0; b < blockOf(kHeaderSize); ++b)
            if (b != blockOf(kIndexBlock))
                blockValid_.reset(static_cast<std::size_t>(b));
    }
    for (int round = 0; round < 4; ++round) {
        for (int address = 0; address < kStationMemorySize; address += kBlockSize) {
            const auto block = static_cast<std::size_t>(blockOf(address));
            if (blockValid_.test(block))
                continue;
            if (readBlockWithRetries(address) != BlockError::None) {
                if (lastBlockError_ == BlockError::BadChecksum)
                    Q_EMIT repaintRequested();
                return false;
            }
            blockValid_.set(block);
            if (address == kIndexBlock)
                indexAtRead_ = image_[kSlotIndexByte];
            Q_EMIT progressChanged(static_cast<int>(blockValid_.count()) * kBlockSize);
        }
        const std::optional<bool> moved = indexMoved();
        if (!moved)
            return false;
        if (!*moved)
            return true;
    }
    return true;
}

// ---- The full read --------------------------------------------------------------

FullReadResult Recorder::fullRead()
{
    if (!connected_) {
        Q_EMIT stageChanged(ReadStage::NoStation);
        loadStoredData();
        return FullReadResult::NoStation;
    }

    Q_EMIT stageChanged(ReadStage::LoadingFromStation);
    Q_EMIT progressChanged(static_cast<int>(blockValid_.count()) * kBlockSize);
    exchange_->flush();
    lastRecordPosition_ = 0;
    if (!readInvalidBlocks())
        return FullReadResult::BlockFailed;

    QString why;
    if (connected_ && !headerCopyPath_.isEmpty() && !saveHeaderCopy(headerCopyPath_, image_, &why))
        Q_EMIT headerCopyNotSaved(why);

    // A station that names a slot past the ring's end is answering
    // nonsense: taking it over would read past the station's memory.
    if (image_[kSlotIndexByte] >= kSlotCount) {
        forgetMirror();
        Q_EMIT repaintRequested();
        return FullReadResult::BadSlotIndex;
    }
    // What the history held before: the records of the ring past its newest
    // are new to the program (the station was away, the ring jumped, another
    // recorder stopped) and are passed on like a poll's.
    HistoryRow newestStored;
    const bool historyHeldRecords = history_ && history_->newest(newestStored);
    std::vector<Measurement> fresh;
    const FullReadResult taken = takeOverRing(historyHeldRecords ? newestStored.Dat : QDateTime(), fresh);
    if (taken != FullReadResult::Completed)
        return taken;

    // The next full read (after a gap, a lost link) reads everything again.
    forgetMirror();
    lastRecordPosition_ = recordPosition_ = image_.newestSlotPosition();
    headerRead_ = true;
    redecodeHeader();
    // A first start passes on only the current record: the ring's older
    // records are history, not news.
    if (!historyHeldRecords)
        Q_EMIT recordTakenOver(measurement_);
    for (const Measurement &record : fresh)
        Q_EMIT recordTakenOver(record);
    // Every record already stored (a restart, a handover): the newest is the
    // current conditions all the same.
    if (historyHeldRecords && (fresh.empty() || fresh.back().Dat != measurement_.Dat))
        Q_EMIT currentRecordRead(measurement_);
    Q_EMIT recordTaken();
    // Records the station stored while the ring was taken over.
    incrementalRead();
    return FullReadResult::Completed;
}

// Takes over every slot of the ring, oldest first, so each record's year and
// rain counter can be judged by the records around it. The records stored
// (or kept for a failing history) that are newer than `storedUpTo` are
// collected in `fresh`, oldest first; with no `storedUpTo` none are.
FullReadResult Recorder::takeOverRing(const QDateTime &storedUpTo, std::vector<Measurement> &fresh)
{
    Q_EMIT stageChanged(ReadStage::SavingToComputer);
    const int newest = image_[kSlotIndexByte];

    Measurement newestRecord;
    const QDateTime reference =
        decodeSlot(image_, slotPosition(newest), newestRecord) && newestRecord.Dat.isValid()
            ? newestReference(newestRecord.Dat)
            : QDateTime();

    Measurement m;             // starts without a date: an unused slot has none to repeat
    std::optional<std::int32_t> previousRain;
    int inBatch = 0;
    for (int k = 1; k <= kSlotCount; ++k) {
        const int index = (newest + k) % kSlotCount;
        const int position = slotPosition(index);
        recordPosition_ = position;
        const QDateTime before = m.Dat;
        if (decodeResolved(position, reference, m) && m.Dat.isValid() && m.Dat != before) {
            // Slot 0 overlaps the header: its rain counter bytes are the
            // header's period code and slot index. The counter is cumulative,
            // so the record before it (or, for the oldest record, the one
            // after it) stands in without losing a tip.
            if (index == 0) {
                Measurement next = m;
                if (previousRain)
                    m.RainCount = *previousRain;
                else if (decodeSlot(image_, slotPosition(1), next))
                    m.RainCount = next.RainCount;
            }
            previousRain = m.RainCount;
            if (index == newest)
                measurement_ = m;
            ++slotsTakenOver_;
            if (inBatch++ == 0)
                writer_.beginBatch();
            const HistoryWriter::Outcome outcome = store(m);
            if (storedUpTo.isValid() && outcome != HistoryWriter::Outcome::None && m.Dat > storedUpTo &&
                (fresh.empty() || m.Dat > fresh.back().Dat))
                fresh.push_back(m);
            if (inBatch == kSlotsPerBatch) {
                if (!writer_.commitBatch())
                    Q_EMIT storeFailed(writer_.lastError());
                inBatch = 0;
            }
        }
        Q_EMIT progressChanged(qMin(kProgressMax, kStationMemorySize + k * kSlotSize));
        QCoreApplication::processEvents();
        if (shutDown_)
            break;
    }
    if (!writer_.commitBatch())
        Q_EMIT storeFailed(writer_.lastError());
    // Cut short by the end: the slots after the last one stored were never
    // taken over, and the ring is not to be taken as read.
    return shutDown_ ? FullReadResult::BlockFailed : FullReadResult::Completed;
}

// The reference date for a ring's records: the newest record's date. The
// station keeps only its current year, so a December record read in January
// carries next December's date; the computer's clock tells that case apart.
QDateTime Recorder::newestReference(const QDateTime &decoded) const
{
    const QDateTime clock = now();
    if (decoded.date().month() == 12 && clock.date().month() == 1 && decoded.date().year() == clock.date().year() &&
        decoded > clock.addSecs(kClockSlackSecs))
        return decoded.addYears(-1);
    return decoded;
}

// Decodes the slot at position with the station's year, or the year before
// when that date lies after the reference (the newest record): it was
// written before the station's year turned.
bool Recorder::decodeResolved(int position, const QDateTime &reference, Measurement &m) const
{
    const int year = stationYear(image_);
    Measurement candidate = m;
    const bool accepted = decodeSlot(image_, position, candidate, year);
    const bool future = accepted && reference.isValid() && candidate.Dat.isValid() && candidate.Dat > reference;
    if (accepted && !future) {
        m = candidate;
        return true;
    }
    // Last year's record, or a 29 February that this year does not have.
    Measurement earlier = m;
    if (reference.isValid() && decodeSlot(image_, position, earlier, year - 1) && earlier.Dat.isValid() &&
        earlier.Dat <= reference) {
        m = earlier;
        return true;
    }
    if (accepted) {
        m = candidate;
        return true;
    }
    return false;
}

// A record that cannot be stored (a locked file, a read-only or full disk)
// is still shown and kept until the history works again (HistoryWriter.h);
// the user is told when the history starts failing.
HistoryWriter::Outcome Recorder::store(const Measurement &m)
{
    const HistoryWriter::Outcome outcome = writer_.write(m);
    if (outcome == HistoryWriter::Outcome::Failed)
        Q_EMIT storeFailed(writer_.lastError());
    return outcome;
}

// Stores the kept records once the history works again. Rows lost on the way
// (a failed commit) are still in the station's ring: it is read back, as a
// restart would, by the full read this poll then runs.
void Recorder::retryStore()
{
    if (!writer_.failing() || !writer_.retry())
        return;
    if (writer_.takeReadBack() && connected_)
        lastRecordPosition_ = 0;
}

void Recorder::loadStoredData()
{
    // The no-station pause, pumping events: the link check may find the
    // station meanwhile and ask for a full read, which runs after this one.
    timers_.noStationPause->start();
    while (timers_.noStationPause->isActive() && !shutDown_ && !suspended_)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    HistoryRow newest;
    if (history_ && history_->newest(newest))
        loadMeasurement(newest, measurement_);
    if (!headerCopyPath_.isEmpty()) {
        const HeaderCopyResult copy = loadHeaderCopy(headerCopyPath_, image_);
        if (copy == HeaderCopyResult::Failed)
            Q_EMIT headerCopyUnreadable();
        if (copy == HeaderCopyResult::Loaded)
            headerRead_ = true;
    }
    redecodeHeader();
    Q_EMIT storedDataLoaded();
}

// ---- The incremental read -------------------------------------------------------

PollResult Recorder::incrementalRead()
{
    if (!connected_) {
        Q_EMIT repaintRequested();
        return PollResult::NotConnected;
    }

    exchange_->flush();
    if (readBlockWithRetries(kIndexBlock) != BlockError::None || image_[kSlotIndexByte] >= kSlotCount) {
        Q_EMIT repaintRequested();
        return PollResult::ReadFailed;
    }
    const int current = image_.newestSlotPosition();
    recordPosition_ = current;
    if (current == lastRecordPosition_) {
        Q_EMIT repaintRequested();
        return PollResult::NoNewRecord;
    }
    return readNewSlots(current, false);
}

// Takes over the slots after the last one taken over up to `current`, the
// newest; the header is read first unless it was just read.
PollResult Recorder::readNewSlots(int current, bool headerFresh)
{
    const int old = lastRecordPosition_;

    // Right after a full read only the newest slot is new; otherwise every
    // slot from the last one taken over to the newest, counted around the
    // ring (a jump across its end is as many steps as slots it passed).
    const int moved = old == 0 ? 1 : ringDistance(slotIndex(old), slotIndex(current));
    if (moved > kMaxCatchUp) {
        lastRecordPosition_ = 0;
        Q_EMIT repaintRequested();
        return PollResult::Gap;
    }

    timers_.poll->setInterval(pollIntervalMs_);
    lastRecordPosition_ = current;
    exchange_->flush();
    auto failed = [&](PollResult result) {
        Q_EMIT repaintRequested();
        lastRecordPosition_ = old;
        return result;
    };

    for (int address = 0; address < kHeaderSize && !headerFresh; address += kBlockSize)
        if (readBlockWithRetries(address) != BlockError::None)
            return failed(PollResult::ReadFailed);
    headerRead_ = true;
    const int newestIndex = slotIndex(current);
    for (int k = moved - 1; k >= 0; --k) {
        const int position = slotPosition((newestIndex - k + kSlotCount) % kSlotCount);
        if (readBlockWithRetries(position) != BlockError::None ||
            readBlockWithRetries(position + kBlockSize) != BlockError::None)
            return failed(PollResult::ReadFailed);
    }

    Measurement newestRecord = measurement_;
    if (!decodeSlot(image_, current, newestRecord))
        return failed(PollResult::Rejected);
    const QDateTime reference = newestReference(newestRecord.Dat);

    Measurement m = measurement_;
    std::int32_t previousRain = measurement_.RainCount;
    std::vector<Measurement> taken;
    const qint64 periodSecs = historyPeriodMs(image_[kPeriodByte]) / 1000;
    for (int k = moved - 1; k >= 0; --k) {
        const int index = (newestIndex - k + kSlotCount) % kSlotCount;
        recordPosition_ = slotPosition(index);
        if (!decodeResolved(recordPosition_, reference, m)) {
            if (k == 0)
                return failed(PollResult::Rejected);
            continue;  // an older slot that does not decode is skipped
        }
        // Carrying on from a mirror: a first new record that does not follow
        // the mirror's newest means the ring went round meanwhile.
        if (continuingAfter_.isValid() && taken.empty() &&
            (m.Dat <= continuingAfter_ || continuingAfter_.secsTo(m.Dat) > 2 * periodSecs))
            return failed(PollResult::Gap);
        // Slot 0's rain counter bytes are the header's period and index.
        if (index == 0)
            m.RainCount = previousRain;
        previousRain = m.RainCount;
        ++slotsTakenOver_;
        store(m);
        taken.push_back(m);
    }
    recordPosition_ = current;
    measurement_ = m;
    redecodeHeader();
    for (const Measurement &record : taken)
        Q_EMIT recordTakenOver(record);
    Q_EMIT recordTaken();
    Q_EMIT repaintRequested();
    return PollResult::NewRecord;
}

// ---- Settings writes ------------------------------------------------------------

// Writes one settings change. The block is read fresh first, so bytes the
// station changed since the mirror was made (the slot index in byte 255, the
// newest history slot) are written back as the station holds them, not as
// they were; the block is read back afterwards to confirm.
WriteError Recorder::writeNow(const StationWrite &write)
{
    if (!connected_ || !device_)
        return WriteError::NoDevice;
    exchange_->flush();
    if (readBlockWithRetries(write.address) != BlockError::None)
        return WriteError::NotRead;
    std::array<std::uint8_t, kBlockSize> fresh{};
    std::copy_n(image_.data() + write.address, kBlockSize, fresh.begin());
    if (write.change)
        write.change(image_);
    std::array<std::uint8_t, kBlockSize> intended{};
    std::copy_n(image_.data() + write.address, kBlockSize, intended.begin());
    const WriteError sent = exchange_->writeBlock(write.address);
    if (sent != WriteError::None) {
        // The mirror follows the station, not the attempt.
        readBlockWithRetries(write.address);
        return sent;
    }
    if (readBlockWithRetries(write.address) != BlockError::None)
        return WriteError::NotConfirmed;
    // Only the setting's own bytes must read back as written: the station may
    // have stored a record (slot index, newest slot) in the same block since.
    for (int i = 0; i < kBlockSize; ++i)
        if (intended[i] != fresh[i] && image_[write.address + i] != intended[i])
            return WriteError::NotConfirmed;
    return WriteError::None;
}

}  // namespace nimbrel

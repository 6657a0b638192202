// The HID link against a scripted station: framing, the reader thread and
// its receive buffer, unplug and re-plug, and the handle table behind the
// seven C operations.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <numeric>
#include <span>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "HidDevice.h"
#include "HidFraming.h"
#include "HidLink.h"
#include "LinkTable.h"

namespace {

using namespace nimbrel::hid;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kVendor = 0x1130;
constexpr std::uint16_t kProduct = 0x6801;
// Ceiling for waits that normally end within milliseconds.
constexpr auto kPatience = 1500ms;

std::uint8_t memoryAt(int address)
{
    return static_cast<std::uint8_t>(address * 7 + 3);
}

Bytes readCommand(int address)
{
    const auto lo = static_cast<std::uint8_t>(address & 0xFF);
    const auto hi = static_cast<std::uint8_t>(address >> 8);
    return {0xAF, lo, hi, static_cast<std::uint8_t>(0xAF ^ lo ^ hi)};
}

Bytes answerFor(int address)
{
    Bytes answer{0x5A};
    std::uint8_t check = 0x5A;
    for (int i = 0; i < 32; ++i) {
        answer.push_back(memoryAt(address + i));
        check ^= answer.back();
    }
    answer.push_back(check);
    return answer;
}

// An input report as the station sends it: count, payload, then filler
// that must never be taken for data.
Bytes inputReport(std::span<const std::uint8_t> payload)
{
    Bytes report(kReportSize, 0xEE);
    report[0] = static_cast<std::uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), report.begin() + 1);
    return report;
}

Bytes sequence(std::size_t n, std::uint8_t first = 0)
{
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A station on the far side of the HID device. It answers each read
// command with the 34-byte answer cut into input reports of `chunk` payload
// bytes, can hold its answers back until released, can be unplugged (its
// open handle then stays dead, as a hidraw node does) and plugged in again.
class FakeStation {
public:
    void setChunk(std::size_t chunk) { with([&] { chunk_ = chunk; }); }
    void setHoldAnswers(bool hold) { with([&] { hold_ = hold; }); }
    void setFailWrites(bool fail) { with([&] { failWrites_ = fail; }); }
    // What opening a present station gives: Opened, or why it is refused.
    void setOpenResult(OpenResult result) { with([&] { openResult_ = result; }); }

    // Reports the reader may take at once, faster than anyone drains them.
    void queue(const Bytes &report)
    {
        with([&] { input_.push_back(report); });
        cv_.notify_all();
    }

    // Lets n held reports through.
    void release(std::size_t n)
    {
        with([&] {
            for (; n > 0 && !held_.empty(); --n) {
                input_.push_back(held_.front());
                held_.pop_front();
            }
        });
        cv_.notify_all();
    }

    void unplug()
    {
        with([&] {
            present_ = false;
            broken_ = isOpen_;
            input_.clear();
            held_.clear();
        });
        cv_.notify_all();
    }

    void plug() { with([&] { present_ = true; }); }

    // Waits until the reader has taken every queued report and come back
    // for the next: whatever it took is in the receive buffer by then.
    bool waitIdle()
    {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, kPatience, [&] {
            return input_.empty() && readsInFlight_ > 0 && takenAtLastEntry_ == taken_;
        });
    }

    std::vector<Bytes> written() { return get([&] { return written_; }); }
    int openAttempts() { return get([&] { return openAttempts_; }); }
    int closes() { return get([&] { return closes_; }); }
    bool isOpen() { return get([&] { return isOpen_; }); }
    bool closedDuringRead() { return get([&] { return closedDuringRead_; }); }
    int readsWhileClosed() { return get([&] { return readsWhileClosed_; }); }

    // The device side.
    OpenResult open(std::uint16_t vendorId, std::uint16_t productId)
    {
        std::lock_guard lock(mutex_);
        ++openAttempts_;
        if (!present_ || vendorId != kVendor || productId != kProduct)
            return OpenResult::NotFound;
        if (openResult_ != OpenResult::Opened)
            return openResult_;
        isOpen_ = true;
        broken_ = false;
        return OpenResult::Opened;
    }

    int readReport(std::span<std::uint8_t> report, int timeoutMs)
    {
        std::unique_lock lock(mutex_);
        if (!isOpen_) {
            ++readsWhileClosed_;
            return HidDevice::kGone;
        }
        ++readsInFlight_;
        takenAtLastEntry_ = taken_;
        cv_.notify_all();
        const auto ready = [&] { return broken_ || !input_.empty(); };
        if (timeoutMs < 0)
            cv_.wait(lock, ready);
        else
            cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        --readsInFlight_;
        if (broken_)
            return HidDevice::kGone;
        if (input_.empty())
            return 0;
        const Bytes next = input_.front();
        input_.pop_front();
        ++taken_;
        const std::size_t n = std::min(next.size(), report.size());
        std::copy_n(next.begin(), n, report.begin());
        return static_cast<int>(n);
    }

    bool writeReport(std::span<const std::uint8_t> report)
    {
        {
            std::lock_guard lock(mutex_);
            if (!isOpen_ || broken_ || failWrites_)
                return false;
            written_.emplace_back(report.begin(), report.end());
            if (report.size() == kOutputReportBytes && report[1] == 0xAF &&
                report[4] == (report[1] ^ report[2] ^ report[3])) {
                const Bytes answer = answerFor(report[2] | report[3] << 8);
                for (std::size_t at = 0; at < answer.size(); at += chunk_) {
                    const std::size_t n = std::min(chunk_, answer.size() - at);
                    (hold_ ? held_ : input_).push_back(inputReport({answer.data() + at, n}));
                }
            }
        }
        cv_.notify_all();
        return true;
    }

    void close()
    {
        std::lock_guard lock(mutex_);
        if (readsInFlight_ > 0)
            closedDuringRead_ = true;
        if (isOpen_)
            ++closes_;
        isOpen_ = false;
        broken_ = false;
    }

private:
    template <typename F>
    void with(F f)
    {
        std::lock_guard lock(mutex_);
        f();
    }
    template <typename F>
    std::invoke_result_t<F> get(F f)
    {
        std::lock_guard lock(mutex_);
        return f();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::size_t chunk_ = kMaxInputPayload;
    bool hold_ = false;
    bool failWrites_ = false;
    OpenResult openResult_ = OpenResult::Opened;
    bool present_ = true;
    bool isOpen_ = false;
    bool broken_ = false;
    std::deque<Bytes> input_;
    std::deque<Bytes> held_;
    std::vector<Bytes> written_;
    int openAttempts_ = 0;
    int closes_ = 0;
    int readsInFlight_ = 0;
    int readsWhileClosed_ = 0;
    bool closedDuringRead_ = false;
    std::uint64_t taken_ = 0;
    std::uint64_t takenAtLastEntry_ = 0;
};

class FakeHidDevice final : public HidDevice {
public:
    explicit FakeHidDevice(std::shared_ptr<FakeStation> station) : station_(std::move(station)) {}
    OpenResult open(std::uint16_t v, std::uint16_t p) override { return station_->open(v, p); }
    int readReport(std::span<std::uint8_t> r, int t) override { return station_->readReport(r, t); }
    bool writeReport(std::span<const std::uint8_t> r) override { return station_->writeReport(r); }
    void close() override { station_->close(); }

private:
    std::shared_ptr<FakeStation> station_;
};

HidLink::Options quickOptions(std::size_t capacity = 64 * 1024)
{
    HidLink::Options options;
    options.capacity = capacity;
    options.readTimeoutMs = 5;
    return options;
}

struct Rig {
    explicit Rig(HidLink::Options options = quickOptions())
    {
        options.onError = [this](LinkError error) {
            if (error == LinkError::Overflow)
                ++overflowReports;
        };
        link = std::make_unique<HidLink>(std::make_unique<FakeHidDevice>(station), kVendor, kProduct,
                                         std::move(options));
    }

    Bytes exchange(int address)
    {
        const Bytes command = readCommand(address);
        EXPECT_EQ(link->write(command.data(), command.size()), 4);
        EXPECT_TRUE(station->waitIdle());
        return take(64);
    }

    Bytes take(std::size_t n)
    {
        Bytes out(n);
        out.resize(link->read(out.data(), n));
        return out;
    }

    std::shared_ptr<FakeStation> station = std::make_shared<FakeStation>();
    std::atomic<int> overflowReports{0};
    std::unique_ptr<HidLink> link;
};

Bytes concatData(const std::vector<Bytes> &reports)
{
    Bytes data;
    for (const Bytes &report : reports)
        data.insert(data.end(), report.begin() + 1, report.end());
    return data;
}

// --- Framing -------------------------------------------------------------

TEST(HidFraming, OutputIsCutIntoPaddedReportsWithIdZero)
{
    struct Case {
        std::string name;
        std::size_t bytes;
        std::size_t reports;
    };
    const std::vector<Case> cases = {
        {"nothing", 0, 0},       {"one byte", 1, 1},      {"read command", 4, 1},
        {"exactly one report", 8, 1}, {"one over", 9, 2}, {"write frame", 37, 5},
        {"exact multiple", 64, 8}, {"flush-sized", 1024, 128},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes input = sequence(c.bytes, 1);
        const auto reports = frameOutput(input);
        ASSERT_EQ(reports.size(), c.reports);
        Bytes data;
        for (const OutputReport &report : reports) {
            EXPECT_EQ(report[0], kOutputReportId);
            data.insert(data.end(), report.begin() + 1, report.end());
        }
        Bytes expected = input;
        expected.resize(c.reports * kReportSize, kOutputPadding);
        EXPECT_EQ(data, expected);
    }
}

TEST(HidFraming, InputPayloadFollowsTheCountByte)
{
    struct Case {
        std::string name;
        Bytes report;
        Bytes payload;
        bool malformed;
    };
    const std::vector<Case> cases = {
        {"count 0 is an empty report", {0, 9, 9, 9, 9, 9, 9, 9}, {}, false},
        {"count 1", {1, 0x5A, 9, 9, 9, 9, 9, 9}, {0x5A}, false},
        {"filler after the count is ignored", {3, 1, 2, 3, 9, 9, 9, 9}, {1, 2, 3}, false},
        {"full report", {7, 1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}, false},
        {"count above 7", {8, 1, 2, 3, 4, 5, 6, 7}, {}, true},
        {"count 255", {255, 1, 2, 3, 4, 5, 6, 7}, {}, true},
        {"count past a short report", {5, 1, 2}, {}, true},
        {"short report holding its count", {2, 1, 2}, {1, 2}, false},
        {"no bytes at all", {}, {}, true},
        {"long report still carries at most 7", [] {
             Bytes r(kInputReportCapacity, 9);
             r[0] = 7;
             return r;
         }(),
         {9, 9, 9, 9, 9, 9, 9}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const InputPayload got = unframeInput(c.report);
        EXPECT_EQ(got.malformed, c.malformed);
        EXPECT_EQ(Bytes(got.bytes.begin(), got.bytes.end()), c.payload);
    }
}

// --- The link --------------------------------------------------------------

TEST(HidLink, OpenFailsWithoutAStation)
{
    Rig rig;
    rig.station->unplug();
    EXPECT_FALSE(rig.link->open());
    EXPECT_FALSE(rig.link->attached());
    EXPECT_EQ(rig.link->lastError(), LinkError::NoDevice);
    EXPECT_EQ(rig.station->readsWhileClosed(), 0);
}

TEST(HidLink, CommandsGoOutInPaddedReports)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    rig.station->setHoldAnswers(true);

    const Bytes command = readCommand(0x1234);
    EXPECT_EQ(rig.link->write(command.data(), command.size()), 4);
    const auto afterCommand = rig.station->written();
    ASSERT_EQ(afterCommand.size(), 1u);
    EXPECT_EQ(afterCommand[0], (Bytes{0x00, 0xAF, 0x34, 0x12, 0xAF ^ 0x34 ^ 0x12, 0, 0, 0, 0}));

    Bytes frame{0xAE, 90, 0};
    for (int i = 0; i < 32; ++i)
        frame.push_back(static_cast<std::uint8_t>(0xC0 + i));
    frame.push_back(0x77);
    frame.push_back(0x00);
    ASSERT_EQ(frame.size(), 37u);
    EXPECT_EQ(rig.link->write(frame.data(), frame.size()), 37);
    const auto all = rig.station->written();
    ASSERT_EQ(all.size(), 6u);
    const Bytes sent = concatData({all.begin() + 1, all.end()});
    Bytes expected = frame;
    expected.resize(40, 0x00);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(rig.link->write(frame.data(), 0), 0);
    EXPECT_EQ(rig.station->written().size(), 6u);
}

TEST(HidLink, AnswerSplitAcrossReportsArrivesWholeAndInOrder)
{
    for (const std::size_t chunk : {std::size_t{7}, std::size_t{5}, std::size_t{3}, std::size_t{1}}) {
        SCOPED_TRACE("payload bytes per report: " + std::to_string(chunk));
        Rig rig;
        rig.station->setChunk(chunk);
        ASSERT_TRUE(rig.link->open());
        EXPECT_EQ(rig.exchange(8123), answerFor(8123));
        EXPECT_EQ(rig.link->stats().reportsIn, (34 + chunk - 1) / chunk);
    }
}

TEST(HidLink, WaitingGrowsReportByReport)
{
    Rig rig;
    rig.station->setHoldAnswers(true);
    ASSERT_TRUE(rig.link->open());
    const Bytes command = readCommand(224);
    ASSERT_EQ(rig.link->write(command.data(), command.size()), 4);
    EXPECT_EQ(rig.link->waiting(), 0u);
    for (const std::size_t expected : {7u, 14u, 21u, 28u, 34u}) {
        rig.station->release(1);
        ASSERT_TRUE(rig.station->waitIdle());
        EXPECT_EQ(rig.link->waiting(), expected);
    }
    EXPECT_EQ(rig.take(34), answerFor(224));
}

TEST(HidLink, ReadDrainsPartlyThenFully)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    const Bytes command = readCommand(0);
    ASSERT_EQ(rig.link->write(command.data(), command.size()), 4);
    ASSERT_TRUE(rig.station->waitIdle());
    const Bytes answer = answerFor(0);

    EXPECT_EQ(rig.take(1), Bytes(answer.begin(), answer.begin() + 1));
    EXPECT_EQ(rig.link->waiting(), 33u);
    EXPECT_EQ(rig.take(10), Bytes(answer.begin() + 1, answer.begin() + 11));
    EXPECT_EQ(rig.link->waiting(), 23u);
    EXPECT_EQ(rig.take(100), Bytes(answer.begin() + 11, answer.end()));
    EXPECT_EQ(rig.link->waiting(), 0u);
    EXPECT_TRUE(rig.take(34).empty());
    EXPECT_EQ(rig.link->read(nullptr, 10), 0u);
}

TEST(HidLink, FlushDiscardsAStaleAnswerBeforeTheNextCommand)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    // Two answers nobody read, e.g. after a timed-out exchange.
    for (const int address : {0, 32}) {
        const Bytes command = readCommand(address);
        ASSERT_EQ(rig.link->write(command.data(), command.size()), 4);
    }
    ASSERT_TRUE(rig.station->waitIdle());
    std::array<std::uint8_t, 1024> scratch{};
    EXPECT_EQ(rig.link->read(scratch.data(), scratch.size()), 68u);
    EXPECT_EQ(rig.link->waiting(), 0u);
    EXPECT_EQ(rig.exchange(64), answerFor(64));
}

TEST(HidLink, MalformedAndEmptyReportsCarryNothing)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    rig.station->queue({3, 1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE});
    rig.station->queue({0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    rig.station->queue({9, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    rig.station->queue({2, 4, 5, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE});
    ASSERT_TRUE(rig.station->waitIdle());
    EXPECT_EQ(rig.take(64), (Bytes{1, 2, 3, 4, 5}));
    const LinkStats stats = rig.link->stats();
    EXPECT_EQ(stats.reportsIn, 4u);
    EXPECT_EQ(stats.malformedReports, 1u);
    EXPECT_TRUE(rig.link->attached());
}

TEST(HidLink, OverflowDropsTheOldestBytesAndCountsThem)
{
    Rig rig(quickOptions(64));
    ASSERT_TRUE(rig.link->open());
    const Bytes stream = sequence(140);
    for (std::size_t at = 0; at < stream.size(); at += 7)
        rig.station->queue(inputReport({stream.data() + at, 7}));
    ASSERT_TRUE(rig.station->waitIdle());

    EXPECT_EQ(rig.link->waiting(), 64u);
    const LinkStats stats = rig.link->stats();
    EXPECT_EQ(stats.bytesIn, 140u);
    EXPECT_EQ(stats.bytesDropped, 76u);
    EXPECT_EQ(rig.link->lastError(), LinkError::Overflow);
    EXPECT_GT(rig.overflowReports.load(), 0);
    EXPECT_EQ(rig.take(1024), Bytes(stream.begin() + 76, stream.end()));
}

TEST(HidLink, UnplugDetachesAndReplugReopensAtMostOncePerInterval)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    const auto t0 = HidLink::Clock::now();
    EXPECT_TRUE(rig.link->check(t0));
    const Bytes command = readCommand(96);
    ASSERT_EQ(rig.link->write(command.data(), command.size()), 4);
    ASSERT_TRUE(rig.station->waitIdle());  // an answer left unread

    rig.station->unplug();
    ASSERT_TRUE(rig.link->waitForDetach(kPatience));
    EXPECT_FALSE(rig.link->attached());
    EXPECT_EQ(rig.link->lastError(), LinkError::DeviceGone);
    EXPECT_EQ(rig.link->write(command.data(), command.size()), -1);
    EXPECT_EQ(rig.link->lastError(), LinkError::DeviceGone);

    // Still unplugged: one attempt, then none until the interval has passed.
    EXPECT_FALSE(rig.link->check(t0));
    EXPECT_EQ(rig.station->openAttempts(), 2);
    rig.station->plug();
    EXPECT_FALSE(rig.link->check(t0 + 999ms));
    EXPECT_EQ(rig.station->openAttempts(), 2);
    EXPECT_TRUE(rig.link->check(t0 + 1s));
    EXPECT_EQ(rig.station->openAttempts(), 3);
    EXPECT_TRUE(rig.link->attached());
    EXPECT_TRUE(rig.link->check(t0 + 1s));
    EXPECT_EQ(rig.station->openAttempts(), 3);

    EXPECT_EQ(rig.link->waiting(), 0u) << "bytes from before the unplug survived";
    EXPECT_EQ(rig.exchange(128), answerFor(128));
    EXPECT_FALSE(rig.station->closedDuringRead());
}

TEST(HidLink, FailedWriteIsReported)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    rig.station->setFailWrites(true);
    const Bytes command = readCommand(0);
    EXPECT_EQ(rig.link->write(command.data(), command.size()), -1);
    EXPECT_EQ(rig.link->lastError(), LinkError::WriteFailed);
    EXPECT_TRUE(rig.link->attached());
}

TEST(HidLink, CloseJoinsTheReaderBeforeClosingTheDevice)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    ASSERT_TRUE(rig.station->waitIdle());  // the reader is waiting on the device
    const auto started = std::chrono::steady_clock::now();
    rig.link->close();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_FALSE(rig.station->closedDuringRead());
    EXPECT_FALSE(rig.station->isOpen());
    EXPECT_EQ(rig.station->closes(), 1);
    EXPECT_FALSE(rig.link->attached());

    // A closed link stays closed.
    EXPECT_FALSE(rig.link->check(HidLink::Clock::now() + 1h));
    rig.link->close();
    EXPECT_EQ(rig.station->closes(), 1);
    EXPECT_EQ(rig.station->openAttempts(), 1);
    rig.link.reset();
    EXPECT_EQ(rig.station->readsWhileClosed(), 0);
}

TEST(HidLink, DestroyingAnOpenLinkStopsItsReader)
{
    Rig rig;
    ASSERT_TRUE(rig.link->open());
    ASSERT_TRUE(rig.station->waitIdle());
    rig.link.reset();
    EXPECT_FALSE(rig.station->closedDuringRead());
    EXPECT_EQ(rig.station->closes(), 1);
    EXPECT_EQ(rig.station->readsWhileClosed(), 0);
}

// --- The handle table behind the seven operations ---------------------------

struct TableRig {
    explicit TableRig(HidLink::Options options = quickOptions())
        : table([this] { return std::make_unique<FakeHidDevice>(station); }, std::move(options))
    {
    }
    std::shared_ptr<FakeStation> station = std::make_shared<FakeStation>();
    LinkTable table;
};

TEST(LinkTable, OpenGivesNullOnlyForIdsOutOfRange)
{
    TableRig rig;
    EXPECT_EQ(rig.table.open(nullptr, 0x11130, 0x6801), nullptr);
    EXPECT_EQ(rig.table.status(), USBLINK_NO_DEVICE);
    EXPECT_NE(rig.table.open(nullptr, 0x1130, 0x6802), nullptr);  // one that may come
}

// The program opens once at start-up; the link check finds the station
// when it is there and may be opened, with the same handle.
TEST(LinkTable, HandleWaitsForAStationThatIsAbsentOrNotAllowed)
{
    struct Case {
        std::string name;
        bool present;
        OpenResult refusal;
        std::int32_t status;
    };
    const std::vector<Case> cases = {
        {"nothing plugged in", false, OpenResult::Opened, USBLINK_NO_DEVICE},
        {"hidraw node not ours", true, OpenResult::NoPermission, USBLINK_NO_PERMISSION},
        {"open fails otherwise", true, OpenResult::Failed, USBLINK_OPEN_FAILED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HidLink::Options options = quickOptions();
        options.reopenInterval = 0ms;  // every check tries
        TableRig rig(options);
        if (!c.present)
            rig.station->unplug();
        rig.station->setOpenResult(c.refusal);
        void *handle = rig.table.open(nullptr, kVendor, kProduct);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(rig.table.check(handle), 0);
        EXPECT_EQ(rig.table.status(), c.status);

        rig.station->plug();
        rig.station->setOpenResult(OpenResult::Opened);
        EXPECT_EQ(rig.table.check(handle), 1);
        EXPECT_EQ(rig.table.status(), USBLINK_OK);
        const Bytes command = readCommand(512);
        EXPECT_EQ(rig.table.write(handle, command.data(), 4), 4);
        EXPECT_EQ(rig.station->written().size(), 1u);
        EXPECT_EQ(rig.table.close(handle), 0);
        EXPECT_EQ(rig.table.status(), USBLINK_NO_DEVICE);
    }
}

TEST(LinkTable, OneExchangeThroughTheOperations)
{
    TableRig rig;
    void *handle = rig.table.open(nullptr, 4400, 26625);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(rig.table.check(handle), 1);

    std::array<std::uint8_t, 1024> scratch{};
    EXPECT_EQ(rig.table.read(handle, scratch.data(), 1024), 0);
    const Bytes command = readCommand(4000);
    EXPECT_EQ(rig.table.write(handle, command.data(), 4), 4);
    ASSERT_TRUE(rig.station->waitIdle());
    std::int32_t waiting = -1;
    std::int32_t other = -1;
    EXPECT_EQ(rig.table.getStatus(handle, &waiting, &other), 0);
    EXPECT_EQ(waiting, 34);
    EXPECT_EQ(other, 0);
    Bytes answer(34);
    EXPECT_EQ(rig.table.read(handle, answer.data(), 34), 34);
    EXPECT_EQ(answer, answerFor(4000));
    EXPECT_EQ(rig.table.status(), USBLINK_OK);
    EXPECT_EQ(rig.table.close(handle), 0);
}

TEST(LinkTable, HandlesNotOpenAreRefused)
{
    TableRig rig;
    void *closed = rig.table.open(nullptr, kVendor, kProduct);
    ASSERT_NE(closed, nullptr);
    ASSERT_EQ(rig.table.close(closed), 0);
    void *live = rig.table.open(nullptr, kVendor, kProduct);
    ASSERT_NE(live, nullptr);
    ASSERT_NE(live, closed) << "a handle was reused";

    struct Case {
        std::string name;
        void *handle;
    };
    int local = 0;
    const std::vector<Case> cases = {
        {"null", nullptr}, {"closed", closed}, {"never issued", &local}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes command = readCommand(0);
        std::uint8_t buffer[34] = {};
        std::int32_t waiting = 99;
        EXPECT_EQ(rig.table.check(c.handle), 0);
        EXPECT_EQ(rig.table.write(c.handle, command.data(), 4), -1);
        EXPECT_EQ(rig.table.getStatus(c.handle, &waiting, nullptr), -1);
        EXPECT_EQ(waiting, 0);
        EXPECT_EQ(rig.table.read(c.handle, buffer, 34), 0);
        EXPECT_EQ(rig.table.close(c.handle), -1);
        EXPECT_EQ(rig.table.status(), USBLINK_OK) << "a refused handle changed the live link's state";
    }
    // Only the command sent on the live handle below reached the station.
    const Bytes command = readCommand(0);
    EXPECT_EQ(rig.table.write(live, command.data(), 4), 4);
    EXPECT_EQ(rig.station->written().size(), 1u);
    EXPECT_EQ(rig.table.check(live), 1);
}

TEST(LinkTable, UnplugShowsInCheckAndLastError)
{
    TableRig rig;
    void *handle = rig.table.open(nullptr, kVendor, kProduct);
    ASSERT_NE(handle, nullptr);
    rig.station->unplug();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (rig.table.check(handle) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(rig.table.check(handle), 0);
    const Bytes command = readCommand(0);
    EXPECT_EQ(rig.table.write(handle, command.data(), 4), -1);
    EXPECT_EQ(rig.table.status(), USBLINK_NO_DEVICE);
}

}  // namespace

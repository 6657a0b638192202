// The block protocol and the two read sequences against the simulated
// station, including stations that lie: wrong check bytes, answers that never
// come, rings that jump.
#include "Acquisition.h"
#include "BlockFrames.h"
#include "StationExchange.h"
#include "support/SimLink.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nimbrel;
using nimbrel::test::SimLink;

namespace {

struct RecordingHost : AcquisitionHost {
    std::vector<int> slots;
    std::vector<int> newest;
    int repaints = 0;
    int storedDataShown = 0;
    int headerCopies = 0;
    int progress = 0;
    std::vector<ReadStage> stages;
    bool rejectNewest = false;

    void showStage(ReadStage s) override { stages.push_back(s); }
    void setProgress(int p) override { progress = p; }
    void repaintWindow() override { ++repaints; }
    void showStoredData() override { ++storedDataShown; }
    void saveHeaderCopy() override { ++headerCopies; }
    bool takeOverSlot(int p) override
    {
        slots.push_back(p);
        return true;
    }
    bool takeOverNewest(int p) override
    {
        newest.push_back(p);
        return !rejectNewest;
    }
    void newRecordTaken() override {}
};

// One program side of the link: image, time-out timers, exchange, sequences.
struct Rig {
    explicit Rig(const sim::SimConfig &config = {}) : link(config)
    {
        for (QTimer *t : {&readTimeout, &writeTimeout, &poll}) {
            t->setInterval(10000);
            QObject::connect(t, &QTimer::timeout, t, &QTimer::stop);
        }
        api = link.api();
        device = api.open(nullptr, kStationVendorId, kStationProductId, kLinkInputSize, kLinkOutputSize, 0);
        exchange.setLink(&api, device);
        acquisition.connected = true;
    }

    SimLink link;
    LinkApi api;
    USBHandle device = nullptr;
    StationImage image;
    QTimer readTimeout, writeTimeout, poll;
    StationExchange exchange{image, &readTimeout, &writeTimeout,
                             [] { QCoreApplication::processEvents(); }};
    RecordingHost host;
    Acquisition acquisition{host, image, exchange, &poll};

    void setNewestSlot(int index) { link.station().memory()[kSlotIndexByte] = static_cast<std::uint8_t>(index); }
};

sim::SimConfig quietStation()
{
    sim::SimConfig c;
    c.advanceSeconds = 0;
    return c;
}

}  // namespace

TEST(BlockFrames, ReadCommandAndWriteFrameCarryXorChecks)
{
    struct Row {
        int address;
        std::array<std::uint8_t, 4> command;
    };
    const Row rows[] = {
        {0, {0xAF, 0x00, 0x00, 0xAF}},
        {224, {0xAF, 0xE0, 0x00, 0x4F}},
        {8123, {0xAF, 0xBB, 0x1F, 0x0B}},
        {8160, {0xAF, 0xE0, 0x1F, 0x50}},
    };
    for (const Row &r : rows)
        EXPECT_EQ(readCommand(r.address), r.command) << "address " << r.address;

    std::array<std::uint8_t, 32> data{};
    for (int i = 0; i < 32; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7);
    const auto frame = writeFrame(254, data);
    std::uint8_t x = 0;
    for (int i = 0; i < 35; ++i)
        x ^= frame[i];
    EXPECT_EQ(frame[0], 0xAE);
    EXPECT_EQ(frame[1], 0xFE);
    EXPECT_EQ(frame[2], 0x00);
    EXPECT_EQ(frame[35], x);
    EXPECT_EQ(frame[36], 0x00);
}

TEST(FullRead, MirrorsAllOfTheStationsMemoryAndTakesOverTheRing)
{
    Rig rig(quietStation());
    rig.setNewestSlot(40);
    EXPECT_EQ(rig.acquisition.fullRead(), FullReadResult::Completed);

    const auto &memory = rig.link.station().memory();
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), rig.image.bytes.begin()));
    EXPECT_EQ(rig.image[8192], kImageFill) << "nothing past the station's memory is read";
    EXPECT_EQ(rig.host.headerCopies, 1);
    // Slots 1..208, then the incremental read takes over the newest.
    ASSERT_EQ(rig.host.slots.size(), 208u);
    EXPECT_EQ(rig.host.slots.front(), 257);
    EXPECT_EQ(rig.host.slots.back(), 8123);
    ASSERT_EQ(rig.host.newest.size(), 1u);
    EXPECT_EQ(rig.host.newest[0], 40 * 38 + 219);
    EXPECT_EQ(rig.acquisition.lastRecordPosition, 40 * 38 + 219);
    EXPECT_EQ(rig.host.progress, 8123 + 38 + 8192) << "the bar saturates at 16000";
}

TEST(FullRead, RingWalkStartsAtSlotZeroOnlyWhenItIsTheNewest)
{
    struct Row {
        int index;
        int start;
    };
    for (const Row r : {Row{0, 219}, Row{1, 257}, Row{2, 257}, Row{208, 257}}) {
        EXPECT_EQ(Acquisition::ringWalkStart(r.index * 38 + 219), r.start) << "index " << r.index;
    }
    Rig rig(quietStation());
    rig.setNewestSlot(0);
    rig.acquisition.fullRead();
    ASSERT_FALSE(rig.host.slots.empty());
    EXPECT_EQ(rig.host.slots.front(), 219);
    EXPECT_EQ(rig.host.slots.size(), 209u);
}

TEST(FullRead, CheckByteMismatchOnBlockZeroKeepsTheBytesAndRepaints)
{
    Rig rig(quietStation());
    rig.link.station().injectReadFault({0, sim::ReadFault::BadChecksum, 1});
    EXPECT_EQ(rig.acquisition.fullRead(), FullReadResult::BlockFailed);
    EXPECT_EQ(rig.acquisition.lastBlockError(), BlockError::BadChecksum);
    EXPECT_EQ(rig.host.repaints, 1);
    EXPECT_EQ(rig.host.headerCopies, 0);
    const auto &memory = rig.link.station().memory();
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 32, rig.image.bytes.begin()))
        << "the answer's bytes reach the image before the check";
    EXPECT_EQ(rig.image[32], kImageFill);
    EXPECT_EQ(rig.link.readAddresses(), std::vector<int>{0});

    // The fault was a one-off: the retry reads everything.
    EXPECT_EQ(rig.acquisition.fullRead(), FullReadResult::Completed);
}

TEST(FullRead, OtherBlockFailuresEndTheReadWithoutRepaint)
{
    struct Row {
        const char *situation;
        sim::ReadFault fault;
        BlockError error;
    };
    const Row rows[] = {
        {"station never answers", sim::ReadFault::NoAnswer, BlockError::Timeout},
        {"answer cut short", sim::ReadFault::ShortAnswer, BlockError::Timeout},
        {"answer with a wrong first byte", sim::ReadFault::BadStartByte, BlockError::BadStart},
    };
    for (const Row &r : rows) {
        Rig rig(quietStation());
        rig.readTimeout.setInterval(50);
        rig.link.station().injectReadFault({96, r.fault, 1});
        EXPECT_EQ(rig.acquisition.fullRead(), FullReadResult::BlockFailed) << r.situation;
        EXPECT_EQ(rig.acquisition.lastBlockError(), r.error) << r.situation;
        EXPECT_EQ(rig.host.repaints, 0) << r.situation;
        EXPECT_EQ(rig.host.progress, 96) << r.situation;
    }
}

TEST(FullRead, WithoutStationShowsStoredData)
{
    Rig rig(quietStation());
    rig.acquisition.connected = false;
    EXPECT_EQ(rig.acquisition.fullRead(), FullReadResult::NoStation);
    EXPECT_EQ(rig.host.storedDataShown, 1);
    ASSERT_EQ(rig.host.stages.size(), 1u);
    EXPECT_EQ(rig.host.stages[0], ReadStage::NoStation);
    EXPECT_TRUE(rig.link.sent.empty());
}

TEST(IncrementalRead, RingStepsDecideBetweenNewRecordAndGap)
{
    struct Row {
        const char *situation;
        int oldPosition;
        int newIndex;
        PollResult result;
        int lastAfter;
    };
    const Row rows[] = {
        {"one slot on", 257, 2, PollResult::NewRecord, 295},
        {"no new slot", 295, 2, PollResult::NoNewRecord, 295},
        {"wrap from the last slot", 8123, 1, PollResult::NewRecord, 257},
        {"wrap from the last slot to slot 0", 8123, 0, PollResult::NewRecord, 219},
        {"two slots on", 257, 3, PollResult::Gap, 0},
        {"ring went backwards", 333, 2, PollResult::Gap, 0},
        {"first poll after a full read", 0, 7, PollResult::NewRecord, 7 * 38 + 219},
    };
    for (const Row &r : rows) {
        Rig rig(quietStation());
        rig.setNewestSlot(r.newIndex);
        rig.acquisition.lastRecordPosition = r.oldPosition;
        EXPECT_EQ(rig.acquisition.incrementalRead(), r.result) << r.situation;
        EXPECT_EQ(rig.acquisition.lastRecordPosition, r.lastAfter) << r.situation;
        EXPECT_EQ(rig.acquisition.recordPosition, r.newIndex * 38 + 219) << r.situation;
        const bool tookOver = r.result == PollResult::NewRecord;
        EXPECT_EQ(rig.host.newest.size(), tookOver ? 1u : 0u) << r.situation;
    }
}

TEST(IncrementalRead, NewRecordReadsIndexHeaderAndTheSlotsTwoBlocks)
{
    Rig rig(quietStation());
    rig.setNewestSlot(208);
    rig.acquisition.lastRecordPosition = 8123 - 38;
    EXPECT_EQ(rig.acquisition.incrementalRead(), PollResult::NewRecord);
    const std::vector<int> expected = {224, 0, 32, 64, 96, 128, 160, 192, 224, 8123, 8155};
    EXPECT_EQ(rig.link.readAddresses(), expected) << "the highest slot's blocks end at byte 8186";
    EXPECT_EQ(rig.image[8186], rig.link.station().memory()[8186]);
    EXPECT_EQ(rig.image[8187], kImageFill);
}

TEST(IncrementalRead, FailuresRestoreTheLastPositionSoTheNextPollRetries)
{
    struct Row {
        const char *situation;
        int faultAddress;
        bool reject;
        PollResult result;
    };
    const Row rows[] = {
        {"index block lost", 224, false, PollResult::ReadFailed},
        {"header block lost", 128, false, PollResult::ReadFailed},
        {"second slot block lost", 295 + 32, false, PollResult::ReadFailed},
        {"slot rejected by the decoder", -2, true, PollResult::Rejected},
    };
    for (const Row &r : rows) {
        Rig rig(quietStation());
        rig.readTimeout.setInterval(50);
        rig.setNewestSlot(2);
        rig.acquisition.lastRecordPosition = 257;
        rig.host.rejectNewest = r.reject;
        if (r.faultAddress >= 0)
            rig.link.station().injectReadFault({r.faultAddress, sim::ReadFault::NoAnswer, 1});
        EXPECT_EQ(rig.acquisition.incrementalRead(), r.result) << r.situation;
        EXPECT_EQ(rig.acquisition.lastRecordPosition, 257) << r.situation;
        EXPECT_GE(rig.host.repaints, 1) << r.situation;
        // Ten seconds later the same poll goes through.
        rig.host.rejectNewest = false;
        EXPECT_EQ(rig.acquisition.incrementalRead(), PollResult::NewRecord) << r.situation;
        EXPECT_EQ(rig.acquisition.lastRecordPosition, 295) << r.situation;
    }
}

TEST(IncrementalRead, DisconnectedOnlyRepaints)
{
    Rig rig(quietStation());
    rig.acquisition.connected = false;
    EXPECT_EQ(rig.acquisition.incrementalRead(), PollResult::NotConnected);
    EXPECT_EQ(rig.host.repaints, 1);
    EXPECT_TRUE(rig.link.sent.empty());
}

TEST(BlockWrite, AcknowledgementDecidesTheResult)
{
    struct Row {
        const char *situation;
        std::optional<std::uint8_t> ack;
        WriteError result;
    };
    const Row rows[] = {
        {"acknowledged", std::uint8_t{0x5A}, WriteError::None},
        {"answered with 0x00", std::uint8_t{0x00}, WriteError::Refused},
        {"answered with 0xA5", std::uint8_t{0xA5}, WriteError::Refused},
        {"never answered", std::nullopt, WriteError::NoAcknowledge},
    };
    for (const Row &r : rows) {
        Rig rig(quietStation());
        rig.writeTimeout.setInterval(50);
        rig.link.station().setWriteAck(r.ack);
        EXPECT_EQ(rig.exchange.writeBlock(90), r.result) << r.situation;
    }
}

TEST(BlockWrite, SendsTheImageBlockAsItStandsAndTheStationAppliesIt)
{
    struct Row {
        int address;
    };
    for (const Row r : {Row{254}, Row{90}}) {
        Rig rig(quietStation());
        ASSERT_EQ(rig.acquisition.fullRead(), FullReadResult::Completed);
        for (int i = 0; i < 32; ++i)
            rig.image[r.address + i] = static_cast<std::uint8_t>(0x10 + i);
        EXPECT_EQ(rig.exchange.writeBlock(r.address), WriteError::None);
        const auto &memory = rig.link.station().memory();
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(memory[r.address + i], 0x10 + i) << "address " << r.address + i;
        EXPECT_EQ(rig.link.sent.back().kind, 0xAE);
        EXPECT_EQ(rig.link.sent.back().address, r.address);
    }
}

TEST(StationThatLies, SlotIndexPastTheRingEndsTheReadInsteadOfReadingPastMemory)
{
    for (int index : {209, 230, 255}) {
        Rig rig(quietStation());
        rig.setNewestSlot(index);
        EXPECT_EQ(rig.acquisition.fullRead(), FullReadResult::BadSlotIndex) << "index " << index;
        EXPECT_TRUE(rig.host.slots.empty()) << "index " << index;
        rig.acquisition.lastRecordPosition = 257;
        EXPECT_EQ(rig.acquisition.incrementalRead(), PollResult::ReadFailed) << "index " << index;
        EXPECT_EQ(rig.acquisition.lastRecordPosition, 257) << "index " << index;
        for (int address : rig.link.readAddresses())
            EXPECT_LT(address, kStationMemorySize) << "index " << index;
    }
}

// A model of the weather station behind the link library: its 8192-byte
// memory (header and the ring of 209 history slots), a weather generator that
// writes a new history slot every history period, the block protocol (read
// command and answer, write frame and acknowledgement) and injectable faults.
//
// The model knows no wall clock: the caller says how many seconds have passed
// since the link was opened (advanceTo), so tests run it step by step and the
// link library drives it from a steady clock.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace nimbrel::sim {

constexpr int kMemorySize = 8192;
constexpr int kSlotCount = 209;
constexpr int kSlotSize = 38;
constexpr int kFirstSlot = 219;

enum class ReadFault {
    BadChecksum,   // the answer's check byte is wrong (data bytes are right)
    NoAnswer,      // the command is swallowed: nothing arrives, the reader times out
    ShortAnswer,   // only part of the 34-byte answer arrives
    BadStartByte,  // the answer does not start with 0x5A
};

struct ReadFaultRule {
    int address = -1;  // block address it hits; -1 = any block
    ReadFault fault = ReadFault::BadChecksum;
    int count = 1;     // how many answers it spoils; -1 = every one
};

struct TimedAttach {
    double atSeconds = 0;  // seconds after the link was opened
    bool attached = true;
};

struct TimedJump {
    double atSeconds = 0;
    int slots = 2;  // the ring moves by this many slots at once
};

// Special states forced onto every history record the station stores (the
// generated ring included) and onto the header, so the program meets them
// without a hand-made memory image. Unset fields leave the readings as the
// weather gives them. The numbers are those of MemoryEncoding.h's state
// enums (TemperatureState, WindChillState, WindState).
struct StateOverrides {
    std::optional<int> indoor;                   // 1..3: low, high, error
    std::array<std::optional<int>, 5> channels;  // 0..4: ok, low, high, error, no sensor
    bool pressureInvalid = false;
    std::optional<int> forecast;                 // a code 0..7 in place of the generated one
    bool forecastInvalid = false;
    std::optional<int> windChill;                // 1 no sensor, 4 invalid
    std::optional<int> windSpeed;                // 1 code 0xBBB, 2 code 0xEEE
    std::optional<int> windGust;
    std::optional<int> rainState;                // 0..3: no mark, marks 0xA, 0xD, 0xE
    bool uvHigh = false;                         // a UV reading above 99
    std::optional<std::uint8_t> batteries;       // header byte 76 as given
    std::optional<std::uint8_t> alarms;          // header byte 160 as given
    std::optional<int> extremes;                 // 1..3 in the tenths nibble of every minimum and maximum
};

struct SimConfig {
    std::string imagePath;        // initial memory image; empty = generated
    bool attached = true;
    int advanceSeconds = 0;       // a new history slot every N seconds; 0 = never
    std::string start;            // station clock (date of the newest slot) as
                                  // YYYY-MM-DDTHH:MM:SS; empty = 2026-06-21T12:00:00
    int periodCode = 1;           // history period code of header byte 254 (1 = 5 min)
    int slots = kSlotCount;       // slots filled in the generated ring (1..209)
    std::uint32_t seed = 1;       // weather generator seed
    std::string saveImagePath;    // memory written here after each accepted write; empty = never
    double speed = 1.0;           // station seconds per wall-clock second (the link library's clock)
    std::string stateFilePath;    // the station kept across processes; empty = none
    std::string exchangeLogPath;  // one line appended per command taken; empty = none
    std::vector<ReadFaultRule> readFaults;
    double faultRate = 0.0;       // share of read answers spoiled at random, 0..1
    std::uint32_t faultSeed = 1;  // the same seed spoils the same answers
    std::optional<std::uint8_t> writeAck = std::uint8_t{0x5A};  // nullopt: never acknowledged
    std::vector<TimedAttach> attachEvents;
    std::vector<TimedJump> jumps;
    StateOverrides states;
};

// What a station keeps between one process closing the link and the next
// opening it (stateFile): its memory, where it stands on its own timeline
// (seconds since it was first opened, times speed), the cable, and the
// computer's wall-clock time of the close.
struct StationState {
    std::array<std::uint8_t, kMemorySize> memory{};
    double stationSeconds = 0;
    bool attached = true;
    std::int64_t closedAtMs = 0;  // milliseconds since 1970-01-01 UTC
};

// Writes the state through FILE.part and a rename; false when it cannot.
bool saveStationState(const std::string &path, const StationState &state);
// Reads a state file; nullopt when missing or not a state file.
std::optional<StationState> loadStationState(const std::string &path);

// Reads stationsim.ini. A missing file gives the defaults; a malformed line
// sets *error (one sentence naming the line) and is skipped.
SimConfig loadSimConfig(const std::string &iniPath, std::string *error = nullptr);

class SimulatedStation {
public:
    explicit SimulatedStation(const SimConfig &config);
    ~SimulatedStation();
    SimulatedStation(SimulatedStation &&) noexcept;
    SimulatedStation &operator=(SimulatedStation &&) noexcept;

    // The link as the seven operations see it.
    bool attached() const;
    void receive(const std::uint8_t *data, int length);  // USBWrite
    int waiting() const;                                 // USBGetStatus
    int send(std::uint8_t *buffer, int length);          // USBRead

    // Applies the scheduled attach/detach events, jumps and slot advances
    // that fall due up to this many seconds after opening.
    void advanceTo(double secondsSinceOpen);

    // Control for tests and tools.
    void setAttached(bool attached);
    void addSlots(int count);  // the station stores count new history records
    void injectReadFault(const ReadFaultRule &rule);
    void setWriteAck(std::optional<std::uint8_t> ack);

    std::array<std::uint8_t, kMemorySize> &memory();
    const std::array<std::uint8_t, kMemorySize> &memory() const;
    int newestSlotIndex() const;  // memory[255]

    // Carries on as the station that was saved: its memory (kept like an
    // image: the header's settings stay as they were), its cable, and its
    // timeline, so events and records scheduled up to `state.stationSeconds`
    // are not repeated. The caller then advances to the seconds passed since.
    void resume(const StationState &state);
    StationState state(double stationSeconds) const;

    // Writes the memory to the saveImage file (through a temporary file and
    // a rename, so a reader never sees half an image). True when there is
    // no such file configured or it was written.
    bool saveImage() const;

    // Station clock of the newest history record, in seconds on the
    // station's own timeline (see StationClock.h).
    std::int64_t newestSlotTime() const;
    // Length of the history period the station records with, from byte 254
    // (the last valid code while the byte holds something else).
    int historyPeriodSeconds() const;

private:
    struct Model;  // weather generator and the station's running summaries

    void generateMemory();
    void loadImage();
    void adoptImage();
    void recordSlot();
    void refreshHeader();
    void forceHeaderStates(bool settings);
    void answerRead(int address);
    void applyWrite(const std::uint8_t *frame);
    bool takeFault(int address, ReadFault *fault);
    void saveImageAfterWrite();
    void logCommand(const char *what, int address, int length);

    SimConfig config_;
    std::array<std::uint8_t, kMemorySize> memory_{};
    std::deque<std::uint8_t> queue_;  // answer bytes waiting for USBRead
    bool attached_ = true;
    std::vector<ReadFaultRule> faults_;
    std::mt19937_64 faultRandom_;  // one draw per read answer
    bool saveFailureReported_ = false;
    std::optional<std::uint8_t> writeAck_;
    std::vector<TimedAttach> attachEvents_;  // sorted by time
    std::vector<TimedJump> jumps_;           // sorted by time
    std::size_t nextAttach_ = 0;
    std::size_t nextJump_ = 0;
    long long advancesDone_ = 0;
    double seconds_ = 0;  // station seconds of the latest advanceTo, for the exchange log
    bool logFailureReported_ = false;
    std::unique_ptr<Model> model_;
};

}  // namespace nimbrel::sim

// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedStation.h"

#include "MemoryEncoding.h"
#include "StationClock.h"
#include "WeatherGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <locale>
#include <map>

namespace nimbrel::sim {

namespace {

constexpr std::uint8_t kReadCommand = 0xAF;
constexpr std::uint8_t kWriteCommand = 0xAE;
constexpr std::uint8_t kAnswerStart = 0x5A;
constexpr std::uint8_t kWriteRefused = 0x00;
constexpr int kBlockSize = 32;
constexpr int kAnswerSize = 34;
constexpr int kReadCommandSize = 4;
constexpr int kWriteFrameSize = 37;
constexpr int kShortAnswerSize = 20;
constexpr std::uint8_t kWrongStartByte = 0xA5;

// Where a wrapped ring puts its newest record when the generated history
// fills every slot: mid-ring, so both the wrap and slot 0 lie behind it.
constexpr int kWrappedNewestSlot = 104;

// The station's history periods by code 1..11.
constexpr int kPeriodSeconds[11] = {300, 600, 1200, 1800, 3600, 5400, 7200, 10800, 14400, 21600, 86400};

bool validPeriodCode(int code) { return code >= 1 && code <= 11; }

int bcdValue(std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

StationTime configuredStart(const SimConfig &config)
{
    StationTime start;  // 2026-06-21T12:00:00
    if (!config.start.empty()) parseStationTime(config.start, &start);
    return start;
}

// 1 falling, 2 rising, 3 steady, comparing with the value an hour ago.
int trendOf(double now, double hourAgo, double threshold)
{
    if (now - hourAgo > threshold) return 2;
    if (hourAgo - now > threshold) return 1;
    return 3;
}

HeaderValues stationSettings(int periodCode)
{
    HeaderValues h;
    // Moscow: 55 deg 45' N, 37 deg 37' E, UTC+3 without daylight saving.
    h.location.latitudeDegrees = 55;
    h.location.latitudeMinutes = 45;
    h.location.south = false;
    h.location.longitudeDegrees = 37;
    h.location.longitudeMinutes = 37;
    h.location.east = true;
    h.location.timeZone = 3;
    h.location.dstCode = 0;
    h.location.cityCode = 64;  // Moscow in the city table the program ships
    h.altitude = 150;
    h.temperatureAlarmHigh = {30.0, kTemperatureOk};
    h.temperatureAlarmLow = {-10.0, kTemperatureOk};
    h.rainAlarmFlag = 0;       // armed
    h.windSpeedAlarmFlag = 1;  // off
    h.windGustAlarmFlag = 0;   // armed
    h.rainAlarm = 40;          // 27.5 mm in a day
    h.windSpeedAlarm = 25;
    h.windGustAlarm = 40;
    h.batteries = {1, 1, 1, 1, 1, 1, 1, 1};
    h.periodCode = periodCode;
    return h;
}

// A UV index the program must treat as out of range (above 99).
constexpr double kUvOutOfRange = 120.0;

// The tester's forced states on one record. The weather stays in the record
// where the state leaves room for it (the digits beside a tenths-nibble
// state, the wind direction beside a rain mark).
void forceStates(const StateOverrides &s, SlotValues &v)
{
    if (s.indoor) v.indoor.state = *s.indoor;
    for (std::size_t c = 0; c < v.channels.size(); ++c) {
        if (!s.channels[c]) continue;
        SensorValues &channel = v.channels[c];
        // A channel the weather leaves unpaired, once heard, reads what
        // channel 1 reads: a second sensor beside the first.
        if (channel.state == kTemperatureNoSensor && *s.channels[c] != kTemperatureNoSensor)
            channel = {v.channels[0].temperature, kTemperatureOk, v.channels[0].humidity};
        channel.state = *s.channels[c];
    }
    if (s.pressureInvalid) v.pressureInvalid = true;
    if (s.forecast) v.forecast = *s.forecast;
    if (s.forecastInvalid) v.forecastInvalid = true;
    if (s.windChill) v.windChillState = *s.windChill;
    if (s.windSpeed) v.windSpeedState = *s.windSpeed;
    if (s.windGust) v.windGustState = *s.windGust;
    if (s.rainState) v.rainState = *s.rainState;
    if (s.uvHigh) v.uv = kUvOutOfRange;
}

}  // namespace

struct SimulatedStation::Model {
    explicit Model(std::uint32_t seed) : weather(seed) {}

    WeatherGenerator weather;
    // Generated memory: the station keeps the header's running summaries
    // (extremes, trends, UV maxima, hourly pressures, rain totals) up to
    // date. A loaded image keeps its header as it was captured.
    bool ownsHeader = false;
    std::int64_t newestTime = 0;
    int periodCode = 1;

    // The rain counter is offset + whole tips fallen since origin; the
    // running sum is cached so each new record costs only its own period.
    int rainOffset = 0;
    std::int64_t rainCacheTime = 0;
    std::int64_t rainCacheTipSeconds = 0;

    HeaderValues header;
    std::array<bool, 6> seen{};
    std::map<std::int64_t, double> uvRecorded;  // start of day -> highest recorded UV

    std::int64_t tipsUpTo(std::int64_t t)
    {
        if (t >= rainCacheTime) {
            rainCacheTipSeconds += weather.rainTipSeconds(rainCacheTime, t);
            rainCacheTime = t;
            return floorDiv(rainCacheTipSeconds, 3600);
        }
        return floorDiv(rainCacheTipSeconds - weather.rainTipSeconds(t, rainCacheTime), 3600);
    }

    int rainCounter(std::int64_t t) { return static_cast<int>((rainOffset + tipsUpTo(t)) & 0xFFFF); }

    void startRain(std::int64_t origin, int offset)
    {
        rainCacheTime = origin;
        rainCacheTipSeconds = 0;
        rainOffset = offset;
    }

    void track(std::int64_t t, const SlotValues &v)
    {
        const auto note = [this](int sensor, double celsius, int state) {
            if (state != kTemperatureOk) return;
            auto &low = header.minimum[static_cast<std::size_t>(sensor)];
            auto &high = header.maximum[static_cast<std::size_t>(sensor)];
            if (!seen[static_cast<std::size_t>(sensor)]) {
                low = high = {celsius, kTemperatureOk};
                seen[static_cast<std::size_t>(sensor)] = true;
            }
            low.celsius = std::min(low.celsius, celsius);
            high.celsius = std::max(high.celsius, celsius);
        };
        note(0, v.indoor.temperature, v.indoor.state);
        for (int c = 0; c < 5; ++c)
            note(c + 1, v.channels[static_cast<std::size_t>(c)].temperature, v.channels[static_cast<std::size_t>(c)].state);
        header.windSpeedMax.mph = std::max(header.windSpeedMax.mph, v.windSpeed);
        header.windGustMax.mph = std::max(header.windGustMax.mph, v.windGust);

        double &uv = uvRecorded[startOfDay(t)];
        uv = std::max(uv, v.uv);
        while (!uvRecorded.empty() && uvRecorded.begin()->first < startOfDay(t) - 8 * kSecondsPerDay)
            uvRecorded.erase(uvRecorded.begin());
    }

    // Brings the running summaries to the newest record's time.
    void summarise()
    {
        const std::int64_t t = newestTime;
        const StationTime clock = fromSeconds(t);
        header.year = clock.year;
        for (int s = 0; s < 6; ++s)
            if (!seen[static_cast<std::size_t>(s)]) {
                // A sensor never heard has no extremes to show.
                header.minimum[static_cast<std::size_t>(s)] = {0.0, kTemperatureError};
                header.maximum[static_cast<std::size_t>(s)] = {0.0, kTemperatureError};
            }

        const SlotValues now = weather.readings(t);
        const SlotValues before = weather.readings(t - kSecondsPerHour);
        header.trends[0] = trendOf(now.indoor.temperature, before.indoor.temperature, 0.2);
        header.trends[1] = trendOf(now.indoor.humidity, before.indoor.humidity, 1.0);
        for (int c = 0; c < 5; ++c) {
            const SensorValues &a = now.channels[static_cast<std::size_t>(c)];
            const SensorValues &b = before.channels[static_cast<std::size_t>(c)];
            const bool heard = a.state != kTemperatureNoSensor;
            header.trends[static_cast<std::size_t>(2 + 2 * c)] = heard ? trendOf(a.temperature, b.temperature, 0.2) : 0;
            header.trends[static_cast<std::size_t>(3 + 2 * c)] = heard ? trendOf(a.humidity, b.humidity, 1.0) : 0;
        }

        // The UV sensor is read continuously; the records only sample it.
        for (int d = 0; d < 8; ++d) {
            const std::int64_t dayStart = startOfDay(t) - d * kSecondsPerDay;
            const std::int64_t dayEnd = std::min(dayStart + kSecondsPerDay - 1, t);
            double highest = 0.0;
            for (std::int64_t s = dayStart; s <= dayEnd; s += 600)
                highest = std::max(highest, std::round(weather.uvIndex(s) * 10.0) / 10.0);
            if (auto it = uvRecorded.find(dayStart); it != uvRecorded.end()) highest = std::max(highest, it->second);
            header.uvDailyMaxima[static_cast<std::size_t>(d)] = highest;
        }

        for (int i = 0; i < 25; ++i)
            header.pressureHistory[static_cast<std::size_t>(i)] = weather.pressure(t - i * kSecondsPerHour);

        const std::int64_t today = startOfDay(t);
        const std::int64_t monday = today - (dayOfWeek(clock) - 1) * kSecondsPerDay;
        const std::int64_t firstOfMonth = toSeconds(StationTime{clock.year, clock.month, 1, 0, 0, 0});
        const std::int64_t tipsNow = tipsUpTo(t);
        header.rainYesterday = static_cast<int>(tipsUpTo(today) - tipsUpTo(today - kSecondsPerDay));
        header.rainWeek = static_cast<int>(tipsNow - tipsUpTo(monday));
        header.rainMonth = static_cast<int>(tipsNow - tipsUpTo(firstOfMonth));
    }
};

SimulatedStation::SimulatedStation(const SimConfig &config)
    : config_(config),
      attached_(config.attached),
      faults_(config.readFaults),
      faultRandom_(config.faultSeed),
      writeAck_(config.writeAck),
      attachEvents_(config.attachEvents),
      jumps_(config.jumps),
      model_(std::make_unique<Model>(config.seed))
{
    std::stable_sort(attachEvents_.begin(), attachEvents_.end(),
                     [](const TimedAttach &a, const TimedAttach &b) { return a.atSeconds < b.atSeconds; });
    std::stable_sort(jumps_.begin(), jumps_.end(),
                     [](const TimedJump &a, const TimedJump &b) { return a.atSeconds < b.atSeconds; });
    model_->periodCode = validPeriodCode(config.periodCode) ? config.periodCode : 1;
    if (config.imagePath.empty())
        generateMemory();
    else
        loadImage();
}

SimulatedStation::~SimulatedStation() = default;
SimulatedStation::SimulatedStation(SimulatedStation &&) noexcept = default;
SimulatedStation &SimulatedStation::operator=(SimulatedStation &&) noexcept = default;

void SimulatedStation::generateMemory()
{
    memory_.fill(0x00);
    Model &m = *model_;
    m.ownsHeader = true;
    m.header = stationSettings(m.periodCode);

    const int slots = std::clamp(config_.slots, 1, kSlotCount);
    const int period = kPeriodSeconds[m.periodCode - 1];
    // A station that has not yet wrapped filled slots 1.. upwards (slot 0,
    // which overlaps the header, comes only after the wrap).
    const int newest = slots == kSlotCount ? kWrappedNewestSlot : slots;
    const std::int64_t newestTime = toSeconds(configuredStart(config_));
    const std::int64_t oldestTime = newestTime - static_cast<std::int64_t>(slots - 1) * period;
    m.startRain(oldestTime, 1000 + static_cast<int>(config_.seed % 4000));

    for (int i = 0; i < slots; ++i) {
        const std::int64_t t = oldestTime + static_cast<std::int64_t>(i) * period;
        const int index = ((newest - (slots - 1) + i) % kSlotCount + kSlotCount) % kSlotCount;
        SlotValues v = m.weather.readings(t);
        v.rainCounter = m.rainCounter(t);
        // The summaries follow the records as stored: a forced state is no
        // measurement for the minima and maxima.
        forceStates(config_.states, v);
        writeSlot(memory_, slotPosition(index), v);
        m.track(t, v);
    }
    m.newestTime = newestTime;
    m.summarise();
    m.header.newestSlot = newest;
    writeHeader(memory_, m.header);
    forceHeaderStates(true);
}

void SimulatedStation::loadImage()
{
    memory_.fill(0x00);
    if (std::ifstream in{config_.imagePath, std::ios::binary}) {
        in.read(reinterpret_cast<char *>(memory_.data()), kMemorySize);
    } else {
        generateMemory();
        return;
    }
    adoptImage();
    forceHeaderStates(true);
}

void SimulatedStation::adoptImage()
{
    Model &m = *model_;
    m.ownsHeader = false;
    if (validPeriodCode(memory_[address::kPeriod])) m.periodCode = memory_[address::kPeriod];

    // Carry on from the image's newest record: its date (year from byte 4,
    // tens digit high) and its rain counter.
    const int index = std::min<int>(memory_[address::kNewestSlot], kSlotCount - 1);
    const std::uint8_t *r = memory_.data() + slotPosition(index);
    const std::uint8_t yearByte = memory_[address::kYear];
    StationTime newest{2000 + bcdValue(yearByte), r[0] & 0x0F, bcdValue(r[1]), bcdValue(r[2]), bcdValue(r[3]), 0};
    if (!isValidTime(newest)) newest = configuredStart(config_);
    m.newestTime = toSeconds(newest);
    m.startRain(m.newestTime, r[35] | r[36] << 8);
}

void SimulatedStation::resume(const StationState &state)
{
    memory_ = state.memory;
    queue_.clear();
    adoptImage();
    // Settings the program wrote stay; only the header's forced extremes
    // are the station's nature.
    forceHeaderStates(false);
    attached_ = state.attached;
    const double at = state.stationSeconds;
    advancesDone_ = config_.advanceSeconds > 0 ? static_cast<long long>(std::floor(at / config_.advanceSeconds)) : 0;
    nextAttach_ = static_cast<std::size_t>(
        std::count_if(attachEvents_.begin(), attachEvents_.end(), [at](const TimedAttach &e) { return e.atSeconds <= at; }));
    nextJump_ = static_cast<std::size_t>(
        std::count_if(jumps_.begin(), jumps_.end(), [at](const TimedJump &j) { return j.atSeconds <= at; }));
}

StationState SimulatedStation::state(double stationSeconds) const
{
    StationState s;
    s.memory = memory_;
    s.stationSeconds = stationSeconds;
    s.attached = attached_;
    return s;
}

namespace {
constexpr char kStateMagic[] = "stationsim-state 1";

// Writes FILE.part and renames it over FILE, so that a reader sees the old
// or the new content, never half of it.
bool replaceFile(const std::string &path, const std::string &bytes)
{
    const std::filesystem::path target = path;
    std::filesystem::path temporary = target;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::rename(temporary, target, failure);
    if (failure) std::filesystem::remove(temporary, failure);
    return !failure;
}
}  // namespace

// A text line "stationsim-state 1 SECONDS ATTACHED CLOSED_MS", then the
// 8192 bytes of memory.
bool saveStationState(const std::string &path, const StationState &state)
{
    char line[128];
    const int length = std::snprintf(line, sizeof line, "%s %.17g %d %lld\n", kStateMagic, state.stationSeconds,
                                     state.attached ? 1 : 0, static_cast<long long>(state.closedAtMs));
    std::string bytes(line, static_cast<std::size_t>(length));
    bytes.append(reinterpret_cast<const char *>(state.memory.data()), kMemorySize);
    return replaceFile(path, bytes);
}

std::optional<StationState> loadStationState(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || line.rfind(kStateMagic, 0) != 0) return std::nullopt;
    std::istringstream fields(line.substr(sizeof kStateMagic - 1));
    fields.imbue(std::locale::classic());
    StationState state;
    int attached = 0;
    long long closed = 0;
    if (!(fields >> state.stationSeconds >> attached >> closed) || !std::isfinite(state.stationSeconds) ||
        state.stationSeconds < 0)
        return std::nullopt;
    state.attached = attached != 0;
    state.closedAtMs = closed;
    in.read(reinterpret_cast<char *>(state.memory.data()), kMemorySize);
    if (in.gcount() != kMemorySize) return std::nullopt;
    return state;
}

void SimulatedStation::recordSlot()
{
    Model &m = *model_;
    // The period setting the program may have written takes effect with the
    // next record; a code the station does not know keeps the old period.
    if (validPeriodCode(memory_[address::kPeriod])) m.periodCode = memory_[address::kPeriod];
    const int current = memory_[address::kNewestSlot];
    const int next = current >= kSlotCount - 1 ? 0 : current + 1;
    const std::int64_t t = m.newestTime + kPeriodSeconds[m.periodCode - 1];

    SlotValues v = m.weather.readings(t);
    v.rainCounter = m.rainCounter(t);
    forceStates(config_.states, v);
    if (m.ownsHeader) m.track(t, v);
    // Slot 0 runs over bytes 254 and 255; the station sets both again
    // after storing the record.
    const std::uint8_t period = memory_[address::kPeriod];
    writeSlot(memory_, slotPosition(next), v);
    memory_[address::kPeriod] = period;
    memory_[address::kNewestSlot] = static_cast<std::uint8_t>(next);

    if (fromSeconds(t).year != fromSeconds(m.newestTime).year) writeYear(memory_, fromSeconds(t).year);
    m.newestTime = t;
}

void SimulatedStation::refreshHeader()
{
    Model &m = *model_;
    if (!m.ownsHeader) return;
    m.summarise();
    // Only the summaries: location, alarms, altitude and batteries are
    // settings, and the program may have written some of them back.
    writeYear(memory_, m.header.year);
    for (int s = 0; s < 6; ++s)
        writeExtremes(memory_, s, m.header.minimum[static_cast<std::size_t>(s)], m.header.maximum[static_cast<std::size_t>(s)]);
    writeTrends(memory_, m.header.trends);
    writeUvDailyMaxima(memory_, m.header.uvDailyMaxima);
    writePressureHistory(memory_, m.header.pressureHistory);
    writeWindMaxima(memory_, m.header.windSpeedMax, m.header.windGustMax);
    writeRainTotals(memory_, m.header.rainYesterday, m.header.rainWeek, m.header.rainMonth);
    forceHeaderStates(false);
}

// Batteries and alarm switches are settings: forced once, at start, so that
// what the program writes back afterwards stays. The extremes are forced
// again whenever the station rewrites them.
void SimulatedStation::forceHeaderStates(bool settings)
{
    const StateOverrides &s = config_.states;
    if (settings && s.batteries) memory_[address::kBatteries] = *s.batteries;
    if (settings && s.alarms) memory_[address::kAlarmFlags] = *s.alarms;
    if (!s.extremes) return;
    // Only the tenths nibble changes, so a loaded image keeps its digits.
    const std::uint8_t nibble = encodeIndoorTemperature(0.0, *s.extremes)[0] & 0x0F;
    for (int sensor = 0; sensor < 6; ++sensor)
        for (const PairAddress at : {minimumAddress(sensor), maximumAddress(sensor)}) {
            std::uint8_t &tenths = memory_[static_cast<std::size_t>(at.first)];
            tenths = static_cast<std::uint8_t>((tenths & 0xF0) | nibble);
        }
}

void SimulatedStation::addSlots(int count)
{
    if (count <= 0) return;
    for (int i = 0; i < count; ++i) recordSlot();
    refreshHeader();
}

bool SimulatedStation::attached() const { return attached_; }

void SimulatedStation::setAttached(bool attached)
{
    attached_ = attached;
    // Unplugging the cable loses whatever the station had sent.
    if (!attached) queue_.clear();
}

void SimulatedStation::receive(const std::uint8_t *data, int length)
{
    if (!attached_ || !data) return;
    if (length == kReadCommandSize && data[0] == kReadCommand) {
        if ((data[0] ^ data[1] ^ data[2]) != data[3]) return;
        logCommand("read", data[1] | data[2] << 8, 0);
        answerRead(data[1] | data[2] << 8);
    } else if (length == kWriteFrameSize && data[0] == kWriteCommand) {
        logCommand("write", data[1] | data[2] << 8, kBlockSize);
        applyWrite(data);
    }
}

void SimulatedStation::answerRead(int address)
{
    std::uint8_t answer[kAnswerSize];
    answer[0] = kAnswerStart;
    std::uint8_t check = kAnswerStart;
    for (int i = 0; i < kBlockSize; ++i) {
        // Thirteen address lines: reads past the end continue at address 0.
        const std::uint8_t b = memory_[static_cast<std::size_t>((address + i) % kMemorySize)];
        answer[1 + i] = b;
        check ^= b;
    }
    answer[kAnswerSize - 1] = check;

    int length = kAnswerSize;
    ReadFault fault;
    if (takeFault(address, &fault)) {
        switch (fault) {
        case ReadFault::BadChecksum: answer[kAnswerSize - 1] ^= 0xFF; break;
        case ReadFault::NoAnswer: length = 0; break;
        case ReadFault::ShortAnswer: length = kShortAnswerSize; break;
        case ReadFault::BadStartByte: answer[0] = kWrongStartByte; break;
        }
    }
    queue_.insert(queue_.end(), answer, answer + length);
}

void SimulatedStation::applyWrite(const std::uint8_t *frame)
{
    const int address = frame[1] | frame[2] << 8;
    std::uint8_t check = frame[0] ^ frame[1] ^ frame[2];
    for (int i = 0; i < kBlockSize; ++i) check ^= frame[3 + i];
    if (check != frame[3 + kBlockSize]) {
        queue_.push_back(kWriteRefused);
        return;
    }
    for (int i = 0; i < kBlockSize; ++i) memory_[static_cast<std::size_t>((address + i) % kMemorySize)] = frame[3 + i];
    if (writeAck_) queue_.push_back(*writeAck_);
    saveImageAfterWrite();
}

// Opened, appended to and closed per line: several processes share one
// station through stateFile, and each of their lines lands whole.
void SimulatedStation::logCommand(const char *what, int address, int length)
{
    if (config_.exchangeLogPath.empty()) return;
    char line[96];
    const int size = length > 0 ? std::snprintf(line, sizeof line, "%.3f %s %d %d\n", seconds_, what, address, length)
                                : std::snprintf(line, sizeof line, "%.3f %s %d\n", seconds_, what, address);
    const int fd = ::open(config_.exchangeLogPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && ::write(fd, line, static_cast<std::size_t>(size)) == size;
    if (fd >= 0) ::close(fd);
    if (written || logFailureReported_) return;
    logFailureReported_ = true;
    std::fprintf(stderr, "stationsim: the exchange log cannot be written to %s\n", config_.exchangeLogPath.c_str());
}

void SimulatedStation::saveImageAfterWrite()
{
    if (saveImage() || saveFailureReported_) return;
    // Once: a folder that cannot be written stays so for every later write.
    saveFailureReported_ = true;
    std::fprintf(stderr, "stationsim: the memory image cannot be written to %s\n", config_.saveImagePath.c_str());
}

bool SimulatedStation::saveImage() const
{
    if (config_.saveImagePath.empty()) return true;
    return replaceFile(config_.saveImagePath,
                       std::string(reinterpret_cast<const char *>(memory_.data()), kMemorySize));
}

bool SimulatedStation::takeFault(int address, ReadFault *fault)
{
    // One draw for every answer, spoiled or not, so the n-th answer meets
    // the same fate in every run with the same seed, whatever the rules do.
    // The top 53 bits give the chance, the low two bits the kind.
    const std::uint64_t draw = faultRandom_();
    for (ReadFaultRule &rule : faults_) {
        if (rule.count == 0) continue;
        if (rule.address != -1 && rule.address != address) continue;
        *fault = rule.fault;
        if (rule.count > 0) --rule.count;
        return true;
    }
    const double chance = static_cast<double>(draw >> 11) * 0x1.0p-53;  // [0, 1)
    if (chance >= config_.faultRate) return false;
    constexpr ReadFault kinds[] = {ReadFault::BadChecksum, ReadFault::NoAnswer, ReadFault::ShortAnswer,
                                   ReadFault::BadStartByte};
    *fault = kinds[draw & 3];
    return true;
}

int SimulatedStation::waiting() const { return attached_ ? static_cast<int>(queue_.size()) : 0; }

int SimulatedStation::send(std::uint8_t *buffer, int length)
{
    if (!attached_ || !buffer || length <= 0) return 0;
    const int count = std::min(length, static_cast<int>(queue_.size()));
    std::copy_n(queue_.begin(), count, buffer);
    queue_.erase(queue_.begin(), queue_.begin() + count);
    return count;
}

void SimulatedStation::advanceTo(double secondsSinceOpen)
{
    constexpr double kNever = std::numeric_limits<double>::infinity();
    const int step = config_.advanceSeconds;
    seconds_ = secondsSinceOpen;
    for (;;) {
        const double attachAt = nextAttach_ < attachEvents_.size() ? attachEvents_[nextAttach_].atSeconds : kNever;
        const double jumpAt = nextJump_ < jumps_.size() ? jumps_[nextJump_].atSeconds : kNever;
        const double advanceAt = step > 0 ? static_cast<double>(advancesDone_ + 1) * step : kNever;
        // At equal times the link events come first, then jumps, then the
        // regular record.
        if (attachAt <= secondsSinceOpen && attachAt <= jumpAt && attachAt <= advanceAt) {
            setAttached(attachEvents_[nextAttach_++].attached);
        } else if (jumpAt <= secondsSinceOpen && jumpAt <= advanceAt) {
            addSlots(jumps_[nextJump_++].slots);
        } else if (advanceAt <= secondsSinceOpen) {
            // Every record due before the next other event, in one batch so
            // the header is summarised once.
            const double until = std::min(attachAt, jumpAt);
            long long last = static_cast<long long>(std::floor(secondsSinceOpen / step));
            if (until <= secondsSinceOpen) last = std::min(last, static_cast<long long>(std::ceil(until / step)) - 1);
            const long long count = std::max(1LL, last - advancesDone_);
            addSlots(static_cast<int>(std::min<long long>(count, std::numeric_limits<int>::max())));
            advancesDone_ += count;
        } else {
            break;
        }
    }
}

void SimulatedStation::injectReadFault(const ReadFaultRule &rule) { faults_.push_back(rule); }

void SimulatedStation::setWriteAck(std::optional<std::uint8_t> ack) { writeAck_ = ack; }

std::array<std::uint8_t, kMemorySize> &SimulatedStation::memory() { return memory_; }
const std::array<std::uint8_t, kMemorySize> &SimulatedStation::memory() const { return memory_; }

int SimulatedStation::newestSlotIndex() const { return memory_[address::kNewestSlot]; }

std::int64_t SimulatedStation::newestSlotTime() const { return model_->newestTime; }

int SimulatedStation::historyPeriodSeconds() const
{
    const int code = memory_[address::kPeriod];
    return kPeriodSeconds[(validPeriodCode(code) ? code : model_->periodCode) - 1];
}

}  // namespace nimbrel::sim

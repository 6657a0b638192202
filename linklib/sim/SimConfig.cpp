// SPDX-License-Identifier: GPL-3.0-or-later
// Reading stationsim.ini, the simulated station's set-up (format in README.md).
//
// Numbers are parsed with std::from_chars: the program's GUI toolkit switches
// the C library to the user's locale before the link library is opened, and
// strtod would then stop at the '.' of "12.5" under e.g. a Russian locale.
#include "SimulatedStation.h"

#include "MemoryEncoding.h"
#include "StationClock.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <utility>
#include <system_error>

namespace nimbrel::sim {

namespace {

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::vector<std::string> splitList(const std::string &text, char separator)
{
    std::vector<std::string> items;
    std::size_t from = 0;
    for (;;) {
        const auto at = text.find(separator, from);
        items.push_back(trim(text.substr(from, at == std::string::npos ? std::string::npos : at - from)));
        if (at == std::string::npos) return items;
        from = at + 1;
    }
}

// Decimal, or hexadecimal with a 0x prefix; the whole text must be the number.
bool parseInteger(const std::string &text, long long low, long long high, long long *value)
{
    int base = 10;
    const char *begin = text.data();
    const char *end = text.data() + text.size();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        begin += 2;
    }
    long long parsed = 0;
    const auto [stop, failure] = std::from_chars(begin, end, parsed, base);
    if (failure != std::errc{} || stop != end || begin == end) return false;
    if (parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

bool parseSeconds(const std::string &text, double *value)
{
    double parsed = 0;
    const auto [stop, failure] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (failure != std::errc{} || stop != text.data() + text.size() || text.empty()) return false;
    if (!std::isfinite(parsed) || parsed < 0) return false;
    *value = parsed;
    return true;
}

bool parseNumber(const std::string &text, double low, double high, double *value)
{
    double parsed = 0;
    const auto [stop, failure] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (failure != std::errc{} || stop != text.data() + text.size() || text.empty()) return false;
    if (!std::isfinite(parsed) || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

bool parseBool(const std::string &text, bool *value)
{
    const std::string word = lower(text);
    if (word == "true" || word == "yes" || word == "1") return *value = true, true;
    if (word == "false" || word == "no" || word == "0") return *value = false, true;
    return false;
}

// "ADDRESS", "ADDRESS*COUNT", "any*COUNT"; a count of "*" or none after
// the star ("any*") means every answer.
bool parseFaultList(const std::string &text, ReadFault fault, std::vector<ReadFaultRule> *rules, std::string *why)
{
    std::vector<ReadFaultRule> parsed;
    for (const std::string &item : splitList(text, ',')) {
        const auto star = item.find('*');
        const std::string where = lower(trim(item.substr(0, star)));
        ReadFaultRule rule;
        rule.fault = fault;
        long long number = 0;
        if (where == "any") {
            rule.address = -1;
        } else if (parseInteger(where, 0, kMemorySize - 1, &number)) {
            rule.address = static_cast<int>(number);
        } else {
            *why = "\"" + item + "\" is not ADDRESS, ADDRESS*COUNT or any*COUNT with an address 0..8191";
            return false;
        }
        if (star != std::string::npos) {
            const std::string count = trim(item.substr(star + 1));
            if (count.empty() || count == "*") {
                rule.count = -1;
            } else if (parseInteger(count, 1, 1'000'000'000, &number)) {
                rule.count = static_cast<int>(number);
            } else {
                *why = "\"" + item + "\" has a count that is neither a positive number nor *";
                return false;
            }
        }
        parsed.push_back(rule);
    }
    rules->insert(rules->end(), parsed.begin(), parsed.end());
    return true;
}

constexpr std::uintmax_t kIniLimit = 64 * 1024;

class Reader {
public:
    Reader(SimConfig &config, std::filesystem::path folder) : config_(config), folder_(std::move(folder)) {}

    // Returns an empty string when the line is fine, else why it is not.
    std::string station(const std::string &key, const std::string &value)
    {
        long long number = 0;
        if (key == "image") {
            if (value.empty()) return "image needs a file name";
            std::filesystem::path path = value;
            if (path.is_relative()) path = folder_ / path;
            std::error_code failure;
            const auto size = std::filesystem::file_size(path, failure);
            if (failure || !std::ifstream(path, std::ios::binary)) return "image file \"" + path.string() + "\" cannot be read";
            if (size > static_cast<std::uintmax_t>(kMemorySize))
                return "image file \"" + path.string() + "\" is larger than 8192 bytes";
            config_.imagePath = path.string();
        } else if (key == "attached") {
            if (!parseBool(value, &config_.attached)) return "attached must be true or false";
        } else if (key == "advanceseconds") {
            if (!parseInteger(value, 0, 1'000'000'000, &number)) return "advanceSeconds must be a whole number of seconds, 0 or more";
            config_.advanceSeconds = static_cast<int>(number);
        } else if (key == "start") {
            StationTime time;
            if (!parseStationTime(value, &time) || time.year < 2000 || time.year > 2099)
                return "start must be a date and time YYYY-MM-DDTHH:MM:SS between 2000 and 2099";
            config_.start = value;
        } else if (key == "period") {
            if (!parseInteger(value, 1, 11, &number)) return "period must be a history period code 1..11";
            config_.periodCode = static_cast<int>(number);
        } else if (key == "slots") {
            if (!parseInteger(value, 1, kSlotCount, &number)) return "slots must be 1..209";
            config_.slots = static_cast<int>(number);
        } else if (key == "seed") {
            if (!parseInteger(value, 0, 0xFFFFFFFFLL, &number)) return "seed must be a whole number 0..4294967295";
            config_.seed = static_cast<std::uint32_t>(number);
        } else if (key == "saveimage") {
            return outputFile("saveImage", value, config_.saveImagePath);
        } else if (key == "statefile") {
            return outputFile("stateFile", value, config_.stateFilePath);
        } else if (key == "exchangelog") {
            return outputFile("exchangeLog", value, config_.exchangeLogPath);
        } else if (key == "speed") {
            double speed = 0;
            if (!parseNumber(value, 0, 1e6, &speed) || speed == 0)
                return "speed must be station seconds per second, above 0 and at most 1000000";
            config_.speed = speed;
        } else {
            return "unknown key \"" + key + "\" in [station]";
        }
        return {};
    }

    std::string faults(const std::string &key, const std::string &value)
    {
        std::string why;
        const auto faultList = [&](ReadFault fault) {
            if (!parseFaultList(value, fault, &config_.readFaults, &why)) return key + ": " + why;
            return std::string{};
        };
        if (key == "checksum") return faultList(ReadFault::BadChecksum);
        if (key == "noanswer") return faultList(ReadFault::NoAnswer);
        if (key == "short") return faultList(ReadFault::ShortAnswer);
        if (key == "badstart") return faultList(ReadFault::BadStartByte);
        if (key == "rate") {
            if (!parseNumber(value, 0, 1, &config_.faultRate)) return "rate must be a share of answers 0..1, e.g. 0.1";
            return {};
        }
        if (key == "seed") {
            long long number = 0;
            if (!parseInteger(value, 0, 0xFFFFFFFFLL, &number)) return "seed must be a whole number 0..4294967295";
            config_.faultSeed = static_cast<std::uint32_t>(number);
            return {};
        }
        if (key == "ack") {
            long long number = 0;
            if (lower(value) == "none")
                config_.writeAck.reset();
            else if (parseInteger(value, 0, 255, &number))
                config_.writeAck = static_cast<std::uint8_t>(number);
            else
                return "ack must be a byte such as 0x5A, or none";
            return {};
        }
        if (key == "attach" || key == "detach") {
            std::vector<TimedAttach> events;
            for (const std::string &item : splitList(value, ',')) {
                TimedAttach event;
                event.attached = key == "attach";
                if (!parseSeconds(item, &event.atSeconds)) return key + ": \"" + item + "\" is not a number of seconds";
                events.push_back(event);
            }
            config_.attachEvents.insert(config_.attachEvents.end(), events.begin(), events.end());
            return {};
        }
        if (key == "jump") {
            std::vector<TimedJump> jumps;
            for (const std::string &item : splitList(value, ',')) {
                const auto colon = item.find(':');
                TimedJump jump;
                long long slots = 0;
                if (colon == std::string::npos || !parseSeconds(trim(item.substr(0, colon)), &jump.atSeconds) ||
                    !parseInteger(trim(item.substr(colon + 1)), 1, 1'000'000, &slots))
                    return "jump: \"" + item + "\" is not SECONDS:SLOTS";
                jump.slots = static_cast<int>(slots);
                jumps.push_back(jump);
            }
            config_.jumps.insert(config_.jumps.end(), jumps.begin(), jumps.end());
            return {};
        }
        return "unknown key \"" + key + "\" in [faults]";
    }

    std::string states(const std::string &key, const std::string &value)
    {
        StateOverrides &s = config_.states;
        const std::string word = lower(value);
        // One of the given names, each standing for a state code.
        const auto pick = [&](std::optional<int> *field, std::initializer_list<std::pair<const char *, int>> names) {
            for (const auto &[name, code] : names)
                if (word == name) return *field = code, std::string{};
            std::string list;
            for (const auto &[name, code] : names) list += (list.empty() ? "" : ", ") + std::string(name);
            return key + " must be one of " + list;
        };
        const auto flag = [&](bool *field, const char *name) {
            if (word != name) return key + " can only be " + name;
            *field = true;
            return std::string{};
        };
        const auto byteValue = [&](std::optional<std::uint8_t> *field) {
            long long number = 0;
            if (!parseInteger(value, 0, 255, &number)) return key + " must be a byte such as 0xFF";
            *field = static_cast<std::uint8_t>(number);
            return std::string{};
        };
        if (key == "indoor") return pick(&s.indoor, {{"low", kTemperatureLow}, {"high", kTemperatureHigh}, {"error", kTemperatureError}});
        if (key.size() == 8 && key.rfind("channel", 0) == 0 && key[7] >= '1' && key[7] <= '5')
            return pick(&s.channels[static_cast<std::size_t>(key[7] - '1')],
                        {{"ok", kTemperatureOk}, {"low", kTemperatureLow}, {"high", kTemperatureHigh},
                         {"error", kTemperatureError}, {"nosensor", kTemperatureNoSensor}});
        if (key == "pressure") return flag(&s.pressureInvalid, "invalid");
        if (key == "forecast") {
            long long number = 0;
            if (word == "invalid") return s.forecastInvalid = true, std::string{};
            if (!parseInteger(value, 0, 7, &number)) return std::string("forecast must be invalid or a code 0..7");
            s.forecast = static_cast<int>(number);
            return {};
        }
        if (key == "windchill") return pick(&s.windChill, {{"nosensor", kWindChillNoSensor}, {"invalid", kWindChillInvalid}});
        if (key == "windspeed") return pick(&s.windSpeed, {{"bbb", kWindCodeB}, {"eee", kWindCodeE}});
        if (key == "windgust") return pick(&s.windGust, {{"bbb", kWindCodeB}, {"eee", kWindCodeE}});
        // The nibble the station stores, for the encoder's mark 0..3.
        if (key == "rainstate") return pick(&s.rainState, {{"0", 0}, {"10", 1}, {"13", 2}, {"14", 3}});
        if (key == "uv") return flag(&s.uvHigh, "high");
        if (key == "batteries") return byteValue(&s.batteries);
        if (key == "alarms") return byteValue(&s.alarms);
        if (key == "extremes") return pick(&s.extremes, {{"low", kTemperatureLow}, {"high", kTemperatureHigh}, {"error", kTemperatureError}});
        return "unknown key \"" + key + "\" in [states]";
    }

private:
    SimConfig &config_;
    // A file the station writes later (saveImage, stateFile, exchangeLog): relative to
    // stationsim.ini's folder, fixed now as an absolute path, since it is
    // written long after, whatever the working folder is by then.
    std::string outputFile(const char *name, const std::string &value, std::string &target) const
    {
        const std::string key = name;
        if (value.empty()) return key + " needs a file name";
        std::filesystem::path path = value;
        if (path.is_relative()) path = folder_ / path;
        std::error_code failure;
        path = std::filesystem::absolute(path, failure);
        const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
        if (!std::filesystem::is_directory(folder, failure))
            return key + " folder \"" + folder.string() + "\" does not exist";
        if (std::filesystem::is_directory(path, failure)) return key + " \"" + path.string() + "\" is a folder";
        target = path.string();
        return {};
    }

    std::filesystem::path folder_;
};

}  // namespace

SimConfig loadSimConfig(const std::string &iniPath, std::string *error)
{
    SimConfig config;
    if (error) error->clear();
    // Only a regular file of a sensible size is read: opening a FIFO would
    // block the program that loaded the link before it shows a window.
    std::error_code failure;
    const auto status = std::filesystem::status(iniPath, failure);
    if (status.type() == std::filesystem::file_type::not_found) return config;
    if (status.type() != std::filesystem::file_type::regular) {
        if (error) *error = "not a regular file; the defaults apply";
        return config;
    }
    if (std::filesystem::file_size(iniPath, failure) > kIniLimit) {
        if (error) *error = "larger than " + std::to_string(kIniLimit / 1024) + " KB; the defaults apply";
        return config;
    }
    std::ifstream in(iniPath);
    if (!in) return config;

    Reader reader(config, std::filesystem::path(iniPath).parent_path());
    enum class Section { None, Station, Faults, States, Unknown } section = Section::None;
    std::string firstProblem;
    int otherProblems = 0;
    const auto problem = [&](int line, const std::string &why) {
        if (firstProblem.empty())
            firstProblem = "line " + std::to_string(line) + ": " + why;
        else
            ++otherProblems;
    };

    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (const auto comment = text.find_first_of(";#"); comment != std::string::npos) text.erase(comment);
        text = trim(text);
        if (text.empty()) continue;
        if (text.front() == '[') {
            if (text.back() != ']') {
                problem(line, "a section header must end with ]");
                section = Section::Unknown;
                continue;
            }
            const std::string name = lower(trim(text.substr(1, text.size() - 2)));
            if (name == "station") {
                section = Section::Station;
            } else if (name == "faults") {
                section = Section::Faults;
            } else if (name == "states") {
                section = Section::States;
            } else {
                problem(line, "unknown section [" + name + "]");
                section = Section::Unknown;
            }
            continue;
        }
        const auto equals = text.find('=');
        if (equals == std::string::npos) {
            problem(line, "expected KEY=VALUE");
            continue;
        }
        const std::string key = lower(trim(text.substr(0, equals)));
        const std::string value = trim(text.substr(equals + 1));
        std::string why;
        switch (section) {
        case Section::None: why = "\"" + key + "\" is outside a section"; break;
        case Section::Station: why = reader.station(key, value); break;
        case Section::Faults: why = reader.faults(key, value); break;
        case Section::States: why = reader.states(key, value); break;
        case Section::Unknown: break;  // reported once, at the section header
        }
        if (!why.empty()) problem(line, why);
    }

    if (error && !firstProblem.empty()) {
        *error = firstProblem;
        if (otherProblems > 0)
            *error += " (and " + std::to_string(otherProblems) + " more malformed line" + (otherProblems > 1 ? "s" : "") + ")";
    }
    return config;
}

}  // namespace nimbrel::sim

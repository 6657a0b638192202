#include "StationSettingsWriter.h"

#include "StationImage.h"

namespace nimbrel {

namespace {

constexpr int kAltitudeAddress = 90;  // bytes 90, 91: magnitude; 92: 8 when negative

}  // namespace

StationWrite altitudeWrite(int metres)
{
    return {kAltitudeAddress, [metres](StationImage &image) {
                const int magnitude = metres < 0 ? -metres : metres;
                image[kAltitudeAddress] = static_cast<std::uint8_t>(magnitude & 0xFF);
                image[kAltitudeAddress + 1] = static_cast<std::uint8_t>(magnitude >> 8);
                image[kAltitudeAddress + 2] = metres < 0 ? 8 : 0;
            }};
}

StationWrite historyIntervalWrite(int code)
{
    return {kPeriodByte, [code](StationImage &image) { image[kPeriodByte] = static_cast<std::uint8_t>(code); }};
}

bool StationSettingsWriter::writeAltitude(int metres)
{
    if (!recorder_.connected())
        return false;
    recorder_.requestWrite(altitudeWrite(metres));
    return true;
}

bool StationSettingsWriter::writeHistoryInterval(int code)
{
    if (!recorder_.connected() || code < 1)
        return false;
    recorder_.requestWrite(historyIntervalWrite(code));
    return true;
}

}  // namespace nimbrel

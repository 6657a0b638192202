#include "HidFraming.h"

#include <algorithm>

namespace nimbrel::hid {

std::vector<OutputReport> frameOutput(std::span<const std::uint8_t> bytes)
{
    std::vector<OutputReport> reports;
    reports.reserve((bytes.size() + kReportSize - 1) / kReportSize);
    for (std::size_t at = 0; at < bytes.size(); at += kReportSize) {
        OutputReport report;
        report.fill(kOutputPadding);
        report[0] = kOutputReportId;
        const std::size_t take = std::min(kReportSize, bytes.size() - at);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), take, report.begin() + 1);
        reports.push_back(report);
    }
    return reports;
}

InputPayload unframeInput(std::span<const std::uint8_t> report)
{
    if (report.empty())
        return {{}, true};
    const std::size_t count = report[0];
    if (count > kMaxInputPayload || count > report.size() - 1)
        return {{}, true};
    return {report.subspan(1, count), false};
}

}  // namespace nimbrel::hid

// Any bytes as a city CSV file (the build step and the import read it):
// whatever is accepted must come back the same through the writer.
#include "CityTable.h"
#include "FuzzSupport.h"

using namespace nimbrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::startQuietQt();
    const CityCsv parsed = parseCityCsv(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!parsed.ok()) {
        NIMBREL_FUZZ_CHECK(parsed.errorLine > 0 && !parsed.error.isEmpty());
        return 0;
    }
    const CityCsv again = parseCityCsv(formatCityCsv(parsed.rows));
    NIMBREL_FUZZ_CHECK(again.ok());
    NIMBREL_FUZZ_CHECK(again.rows == parsed.rows);
    return 0;
}

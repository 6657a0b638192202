// Any bytes as the city table file `citycodes`, opened and read the way the
// location controls fill their lists.
#include "CityTable.h"
#include "FuzzSupport.h"

using namespace nimbrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::startQuietQt();
    static fuzz::ScratchFolder folder;
    const QString path = folder.put(QStringLiteral("citycodes"), data, size);
    CityTable::Opened opened = CityTable::open(path, QDateTime(QDate(2026, 6, 21), QTime(12, 0)));
    if (opened.table) {
        // Every city the list holds is found by its code (a code index that
        // lost rows is caught by the check at open).
        const std::vector<CityRow> rows = opened.table->rows();
        for (std::size_t i = 0; i < rows.size() && i < 8; ++i) {
            const auto found = opened.table->find(rows[i].Code);
            NIMBREL_FUZZ_CHECK(found && found->Code == rows[i].Code);
        }
    }
    return 0;
}

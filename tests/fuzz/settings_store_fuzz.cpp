// Any bytes as the settings file `datsum`, opened and read as at start and
// written back as at shut-down.
#include "FuzzSupport.h"
#include "SettingsStore.h"

using namespace nimbrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::startQuietQt();
    static fuzz::ScratchFolder folder;
    const QString path = folder.put(QStringLiteral("datsum"), data, size);
    SettingsStore::Opened opened = SettingsStore::open(path, QDateTime(QDate(2026, 6, 21), QTime(12, 0)));
    if (opened.store) {
        const Settings settings = opened.store->load().value_or(Settings{});
        opened.store->save(settings);
    }
    return 0;
}

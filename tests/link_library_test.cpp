// Loading the link library by name, folder by folder, and the two ways that
// fails.
#include "LinkLibrary.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nimbrel;

TEST(LinkLibrary, LoadOutcomesByFolder)
{
    QTemporaryDir empty;
    struct Row {
        const char *situation;
        QStringList folders;
        LinkLoadError result;
    };
    const Row rows[] = {
        {"simulated station in the working directory", {QStringLiteral(SIM_LINK_DIR)}, LinkLoadError::None},
        {"nothing in the working directory, simulated station beside the program",
         {empty.path(), QStringLiteral(SIM_LINK_DIR)},
         LinkLoadError::None},
        {"working directory wins over the program's folder",
         {QStringLiteral(BROKEN_LINK_DIR), QStringLiteral(SIM_LINK_DIR)},
         LinkLoadError::MissingOperation},
        {"a library lacking operations", {QStringLiteral(BROKEN_LINK_DIR)}, LinkLoadError::MissingOperation},
        {"no library anywhere", {empty.path()}, LinkLoadError::NotFound},
    };
    for (const Row &r : rows) {
        LinkLibrary library;
        EXPECT_EQ(library.load(r.folders), r.result) << r.situation << ": " << qPrintable(library.errorText());
        EXPECT_EQ(library.api().complete(), r.result == LinkLoadError::None) << r.situation;
    }
}

TEST(LinkLibrary, SimulatedStationOpensOnlyForTheStationsIdentifiers)
{
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());  // the simulated station reads its settings from here
    LinkLibrary library;
    ASSERT_EQ(library.load({QStringLiteral(SIM_LINK_DIR)}), LinkLoadError::None);
    const LinkApi &api = library.api();
    USBHandle wrong = api.open(nullptr, 0x1234, 0x5678, 2048, 2048, 0);
    EXPECT_EQ(wrong, nullptr);
    USBHandle device = api.open(nullptr, kStationVendorId, kStationProductId, 2048, 2048, 0);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(api.check(device), 0);
    api.close(device, 0);
    QDir::setCurrent(previous);
}

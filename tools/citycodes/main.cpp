// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-citycodes CSV TABLE: builds the city table file TABLE from its CSV
// form (data/citycodes.csv). The build runs it; a malformed line is reported
// as "CSV:LINE: reason" and fails the build.
#include "CityTable.h"
#include "TableFileBuild.h"

#include <QDateTime>

using namespace nimbrel;

int main(int argc, char *argv[])
{
    return runTableFileBuild("nimbrel-citycodes", "CSV", argc, argv, [](const QString &partial, const QString &csv) {
        CityTable::Opened opened = CityTable::open(partial, QDateTime::currentDateTime());
        if (!opened.table)
            return QStringLiteral("%1: %2").arg(partial, opened.error);
        return opened.table->importCsv(csv) ? QString() : opened.table->lastError();
    });
}

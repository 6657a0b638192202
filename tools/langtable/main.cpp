// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-langtable TSV TABLE: builds the translation table file TABLE from
// its TSV form (data/lang.tsv). The build runs it; a malformed line is
// reported as "TSV:LINE: reason" and fails the build.
#include "LangTable.h"
#include "TableFileBuild.h"

#include <QDateTime>

using namespace nimbrel;

int main(int argc, char *argv[])
{
    return runTableFileBuild("nimbrel-langtable", "TSV", argc, argv, [](const QString &partial, const QString &tsv) {
        LangTable::Opened opened = LangTable::create(partial, QDateTime::currentDateTime());
        if (!opened.table)
            return QStringLiteral("%1: %2").arg(partial, opened.error);
        return opened.table->importTsv(tsv) ? QString() : opened.table->lastError();
    });
}

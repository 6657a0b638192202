// SPDX-License-Identifier: GPL-3.0-or-later
// nimbrel-tool: the program's own decoding and history store, from the
// command line.
#include "Commands.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void usage(FILE *to)
{
    std::fputs("usage: nimbrel-tool COMMAND [ARGUMENTS]\n"
               "\n"
               "  decode IMAGE [--slot POSITION] [--now YYYY-MM-DDTHH:MM:SS]\n"
               "      decode a station memory image and print the record and header as JSON\n"
               "  report --month YYYY-MM | --year YYYY [--units metric|us] [--db FILE]\n"
               "      climate summary of a month (a line per day) or a year (a line per month)\n"
               "  export [--data-dir DIR] [--format csv|jsonl|weewx] [--units si|user] [--from DATE]\n"
               "         [--to DATE] [--db PATH] FILE\n"
               "      write the stored history as CSV, JSON lines or a weewx archive; FILE - is stdout\n"
               "  import [--data-dir DIR] [--dry-run] FILE\n"
               "      merge a weewx archive, a Cumulus log or an exported CSV into the history\n"
               "  gen-history --years N --period MINUTES [--end DATE] [--seed N] [--force] FILE\n"
               "      write a synthetic history table for demonstrations and benchmarks\n"
               "  astro --at YYYY-MM-DDTHH:MM:SS --lat DEG --latmin MIN --lon DEG --lonmin MIN\n"
               "        --hemispheres N --zone HOURS --dst CODE [--record-time YYYY-MM-DDTHH:MM:SS]\n"
               "      sun, moon, daylight-saving and calendar labels for a local clock and location as JSON\n"
               "  restore-cleared [--data-dir DIR] [COPY]\n"
               "      merge a cleared history (datat.cleared-YYYYMMDD-HHMMSS, the newest by default) back\n"
               "      into datat; Nimbrel must not be running on the folder\n"
               "  backup [--data-dir DIR] TARGET_DIR\n"
               "      a consistent copy of the data folder, taken while Nimbrel may keep recording\n"
               "  restore [--data-dir DIR] BACKUP_DIR\n"
               "      put a backup back; the files it replaces are kept; Nimbrel must not be running\n"
               "\n"
               "Without --db, report and export read ./datat when it exists, else the history in\n"
               "Nimbrel's data folder ($XDG_DATA_HOME/nimbrel, by default ~/.local/share/nimbrel).\n",
               to);
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        usage(stderr);
        return 2;
    }
    const QString command = arguments.takeFirst();
    if (command == QLatin1String("decode"))
        return nimbrel::tool::runDecode(arguments);
    if (command == QLatin1String("export"))
        return nimbrel::tool::runExport(arguments);
    if (command == QLatin1String("import"))
        return nimbrel::tool::runImport(arguments);
    if (command == QLatin1String("gen-history"))
        return nimbrel::tool::runGenHistory(arguments);
    if (command == QLatin1String("report"))
        return nimbrel::tool::runReport(arguments);
    if (command == QLatin1String("astro"))
        return nimbrel::tool::runAstro(arguments);
    if (command == QLatin1String("restore-cleared"))
        return nimbrel::tool::runRestoreCleared(arguments);
    if (command == QLatin1String("backup"))
        return nimbrel::tool::runBackup(arguments);
    if (command == QLatin1String("restore"))
        return nimbrel::tool::runRestore(arguments);
    if (command == QLatin1String("--version")) {
        std::printf("nimbrel-tool %s\n", NIMBREL_VERSION);
        return 0;
    }
    if (command == QLatin1String("--help") || command == QLatin1String("help")) {
        usage(stdout);
        return 0;
    }
    std::fprintf(stderr, "nimbrel-tool: unknown command \"%s\"\n\n", qPrintable(command));
    usage(stderr);
    return 2;
}

// The text files import reads (HistoryImport.h): Nimbrel's own CSV and
// Cumulus-style monthly logs, line by line, each record handed on in the
// history's base units, rounded as the station rounds.
#pragma once

#include "WeewxArchive.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace nimbrel {

// Where and why a file cannot be read: its line (1 for the first) and the reason.
struct ImportDamage {
    QString why;
    long long line = 0;
};

inline constexpr qint64 kLongestImportLine = 4096;

// Reads a text file line by line; a line too long is damage.
class TextLines {
public:
    explicit TextLines(QFile &file) : file_(file) {}
    // False at the end or on damage (damaged() then says so).
    bool next(QByteArray &line)
    {
        if (file_.atEnd())
            return false;
        line = file_.readLine(kLongestImportLine + 2);
        ++number_;
        if (line.size() > kLongestImportLine && !line.endsWith('\n')) {
            damage_ = QStringLiteral("the line is longer than %1 characters").arg(kLongestImportLine);
            return false;
        }
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        return true;
    }
    long long number() const { return number_; }
    const QString &damage() const { return damage_; }

private:
    QFile &file_;
    long long number_ = 0;
    QString damage_;
};

// Nimbrel's CSV after its header line: the SI header (historyCsvHeader())
// or the older one of stored values ("Dat,DayWeek,..."). False, with
// `damage` set, at the first line that cannot be read.
bool readNimbrelCsv(TextLines &lines, const QByteArray &header, const ImportSink &sink, ImportDamage &damage);

// Whether a line starts as a Cumulus log line does: "dd/mm/yy,hh:mm".
bool looksLikeCumulus(const QByteArray &line);
// A Cumulus log from its first line on; the outdoor values go to
// `outdoorChannel` (1..5).
bool readCumulusLog(TextLines &lines, QByteArray first, int outdoorChannel, const ImportSink &sink,
                    ImportDamage &damage);

}  // namespace nimbrel

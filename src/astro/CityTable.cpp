#include "CityTable.h"

#include "SafeFile.h"
#include "TableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cmath>
#include <map>

namespace nimbrel {

namespace {

const char *const kFields[] = {"Code",  "Name",  "LongMin", "LongSec",  "LatMin", "LatSec",
                               "IsLon", "IsLat", "IsRus",   "TimeZone", "DST"};
constexpr int kFieldCount = int(std::size(kFields));

const char *const kCreateTable = R"(CREATE TABLE IF NOT EXISTS CityCodes (
    Code INTEGER NOT NULL,
    Name TEXT NOT NULL DEFAULT '',
    LongMin INTEGER NOT NULL DEFAULT 0,
    LongSec INTEGER NOT NULL DEFAULT 0,
    LatMin INTEGER NOT NULL DEFAULT 0,
    LatSec INTEGER NOT NULL DEFAULT 0,
    IsLon INTEGER NOT NULL DEFAULT 0,
    IsLat INTEGER NOT NULL DEFAULT 0,
    IsRus INTEGER NOT NULL DEFAULT 0,
    TimeZone REAL NOT NULL DEFAULT 0,
    DST INTEGER NOT NULL DEFAULT 0
))";
const char *const kCreateIndex = "CREATE INDEX IF NOT EXISTS CityCodesIndex3 ON CityCodes (Code)";
constexpr int kSchemaVersion = 1;

const char *const kSelect =
    "SELECT Code, Name, LongMin, LongSec, LatMin, LatSec, IsLon, IsLat, IsRus, TimeZone, DST FROM CityCodes";

QString headerLine()
{
    QStringList names;
    for (const char *f : kFields)
        names << QLatin1String(f);
    return names.join(QLatin1Char(','));
}

CityRow rowFrom(const QSqlQuery &q)
{
    CityRow r;
    r.Code = q.value(0).toInt();
    r.Name = q.value(1).toString();
    r.LongMin = q.value(2).toInt();
    r.LongSec = q.value(3).toInt();
    r.LatMin = q.value(4).toInt();
    r.LatSec = q.value(5).toInt();
    r.IsLon = q.value(6).toInt();
    r.IsLat = q.value(7).toInt();
    r.IsRus = q.value(8).toInt();
    r.TimeZone = q.value(9).toDouble();
    r.DST = q.value(10).toInt();
    return r;
}

// --- CSV -------------------------------------------------------------------

// Splits one line at commas; a field may be quoted ("a, b" or "say ""x""").
bool splitFields(const QString &line, QStringList &fields, QString &why)
{
    fields.clear();
    QString field;
    int i = 0;
    const int n = int(line.size());
    while (true) {
        field.clear();
        if (i < n && line[i] == QLatin1Char('"')) {
            ++i;
            while (true) {
                if (i >= n) {
                    why = QStringLiteral("a quoted field is not closed");
                    return false;
                }
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            if (i < n && line[i] != QLatin1Char(',')) {
                why = QStringLiteral("text follows a closing quote");
                return false;
            }
        } else {
            while (i < n && line[i] != QLatin1Char(',')) {
                if (line[i] == QLatin1Char('"')) {
                    why = QStringLiteral("a quote inside an unquoted field");
                    return false;
                }
                field += line[i++];
            }
        }
        fields << field;
        if (i >= n)
            return true;
        ++i;  // the comma
    }
}

bool isPlainInteger(const QString &s)
{
    int i = s.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (i >= s.size() || s.size() > 11)
        return false;
    for (; i < s.size(); ++i)
        if (s[i] < QLatin1Char('0') || s[i] > QLatin1Char('9'))
            return false;
    return true;
}

bool isPlainDecimal(const QString &s)
{
    const qsizetype dot = s.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return isPlainInteger(s);
    const QString fraction = s.mid(dot + 1);
    if (fraction.isEmpty())
        return false;
    for (QChar c : fraction)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return isPlainInteger(s.left(dot));
}

struct FieldReader {
    const QStringList &fields;
    QString why;

    bool integer(int index, int lo, int hi, int &out)
    {
        const QString &text = fields[index];
        bool ok = isPlainInteger(text);
        const qlonglong v = ok ? text.toLongLong(&ok) : 0;
        if (!ok) {
            why = QStringLiteral("%1 \"%2\" is not a whole number").arg(QLatin1String(kFields[index]), text);
            return false;
        }
        if (v < lo || v > hi) {
            why = QStringLiteral("%1 %2 is outside %3..%4").arg(QLatin1String(kFields[index])).arg(v).arg(lo).arg(hi);
            return false;
        }
        out = int(v);
        return true;
    }
};

QString quoted(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')))
        return s;
    QString q = s;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString zoneText(double hours)
{
    // Shortest form that reads back exactly: 3, -3.5, 5.75.
    return QString::number(hours, 'g', 15);
}

}  // namespace

QString userDefinedCityName()
{
    return QStringLiteral("User Defined");
}

CityCsv parseCityCsv(const QByteArray &text)
{
    CityCsv result;
    auto fail = [&result](int line, const QString &why) {
        result.rows.clear();
        result.errorLine = line;
        result.error = why;
        return result;
    };

    QByteArray bytes = text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringList lines;
    for (const QByteArray &raw : bytes.split('\n')) {
        QString line = QString::fromUtf8(raw);
        if (line.contains(QChar::ReplacementCharacter))
            return fail(int(lines.size()) + 1, QStringLiteral("the line is not UTF-8 text"));
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        lines << line;
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    if (lines.isEmpty() || lines.first() != headerLine())
        return fail(1, QStringLiteral("the first line must be the header %1").arg(headerLine()));

    std::map<int, int> lineOfCode;
    for (int i = 1; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QStringList fields;
        QString why;
        if (lines[i].isEmpty())
            return fail(lineNo, QStringLiteral("empty line"));
        if (!splitFields(lines[i], fields, why))
            return fail(lineNo, why);
        if (fields.size() != kFieldCount)
            return fail(lineNo, QStringLiteral("%1 fields, expected %2").arg(fields.size()).arg(kFieldCount));

        CityRow r;
        FieldReader read{fields, {}};
        if (!read.integer(0, 0, 2147483647, r.Code))
            return fail(lineNo, read.why);
        r.Name = fields[1];
        if (r.Name.isEmpty() || r.Name.size() > kCityNameLength)
            return fail(lineNo, QStringLiteral("Name must have 1..%1 characters").arg(kCityNameLength));
        if (r.Name.trimmed() != r.Name)
            return fail(lineNo, QStringLiteral("Name \"%1\" starts or ends with a space").arg(r.Name));
        for (QChar c : r.Name)
            if (c.category() == QChar::Other_Control)
                return fail(lineNo, QStringLiteral("Name holds a control character"));
        if (!read.integer(2, 0, 179, r.LongMin) || !read.integer(3, 0, 59, r.LongSec) ||
            !read.integer(4, 0, 90, r.LatMin) || !read.integer(5, 0, 59, r.LatSec) ||
            !read.integer(6, 0, 1, r.IsLon) || !read.integer(7, 0, 1, r.IsLat) || !read.integer(8, 0, 1, r.IsRus))
            return fail(lineNo, read.why);
        if (r.LatMin == 90 && r.LatSec != 0)
            return fail(lineNo, QStringLiteral("latitude beyond 90 degrees"));
        bool ok = isPlainDecimal(fields[9]);
        r.TimeZone = ok ? fields[9].toDouble(&ok) : 0;
        if (!ok)
            return fail(lineNo, QStringLiteral("TimeZone \"%1\" is not a number").arg(fields[9]));
        if (r.TimeZone < -12 || r.TimeZone > 14 || std::fmod(r.TimeZone * 4, 1.0) != 0)
            return fail(lineNo, QStringLiteral("TimeZone %1 is not a quarter hour within -12..14").arg(fields[9]));
        if (!read.integer(10, 0, 15, r.DST))
            return fail(lineNo, read.why);

        const auto [seen, fresh] = lineOfCode.emplace(r.Code, lineNo);
        if (!fresh)
            return fail(lineNo, QStringLiteral("Code %1 is already used on line %2").arg(r.Code).arg(seen->second));
        result.rows.push_back(r);
    }
    return result;
}

QByteArray formatCityCsv(const std::vector<CityRow> &rows)
{
    QString out = headerLine() + QLatin1Char('\n');
    for (const CityRow &r : rows) {
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9,")
                   .arg(r.Code)
                   .arg(quoted(r.Name))
                   .arg(r.LongMin)
                   .arg(r.LongSec)
                   .arg(r.LatMin)
                   .arg(r.LatSec)
                   .arg(r.IsLon)
                   .arg(r.IsLat)
                   .arg(r.IsRus);
        out += zoneText(r.TimeZone) + QLatin1Char(',') + QString::number(r.DST) + QLatin1Char('\n');
    }
    return out.toUtf8();
}

// --- the table file --------------------------------------------------------

CityTable::Opened CityTable::open(const QString &path, const QDateTime &now, const QString &shippedTable)
{
    Opened result;
    TableShape shape{QStringLiteral("CityCodes"), {}, kSchemaVersion, {},
                     {QString::fromLatin1(kCreateTable), QString::fromLatin1(kCreateIndex)}, {}};
    for (const char *f : kFields)
        shape.fields << QLatin1String(f);
    TableFileOpen file = openTableFile(path, QStringLiteral("citycodes"), now, shape, shippedTable);
    result.problem = file.problem;
    result.setAside = file.setAside;
    result.error = file.error;
    if (!file.connection.isEmpty())
        result.table.reset(new CityTable(file.connection));
    return result;
}

CityTable::~CityTable()
{
    closeTableFile(connection_);
}

std::vector<CityRow> CityTable::rows() const
{
    std::vector<CityRow> out;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!q.exec(QString::fromLatin1(kSelect) + QStringLiteral(" ORDER BY Code, rowid"))) {
        lastError_ = q.lastError().text();
        return out;
    }
    while (q.next())
        out.push_back(rowFrom(q));
    return out;
}

std::optional<CityRow> CityTable::find(int code) const
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QString::fromLatin1(kSelect) + QStringLiteral(" WHERE Code = :code ORDER BY rowid LIMIT 1"));
    q.bindValue(QStringLiteral(":code"), code);
    if (!q.exec()) {
        lastError_ = q.lastError().text();
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return rowFrom(q);
}

bool CityTable::updateUserDefined(int code, int latMin, int latSec, int longMin, int longSec, int isLat, int isLon,
                                  double timeZone)
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral(
        "UPDATE CityCodes SET LatMin = :latMin, LatSec = :latSec, LongMin = :longMin, LongSec = :longSec, "
        "IsLat = :isLat, IsLon = :isLon, TimeZone = :timeZone "
        "WHERE rowid = (SELECT rowid FROM CityCodes WHERE Code = :code ORDER BY rowid LIMIT 1)"));
    q.bindValue(QStringLiteral(":latMin"), latMin);
    q.bindValue(QStringLiteral(":latSec"), latSec);
    q.bindValue(QStringLiteral(":longMin"), longMin);
    q.bindValue(QStringLiteral(":longSec"), longSec);
    q.bindValue(QStringLiteral(":isLat"), isLat);
    q.bindValue(QStringLiteral(":isLon"), isLon);
    q.bindValue(QStringLiteral(":timeZone"), timeZone);
    q.bindValue(QStringLiteral(":code"), code);
    if (!q.exec()) {
        lastError_ = q.lastError().text();
        return false;
    }
    if (q.numRowsAffected() < 1) {
        lastError_ = QStringLiteral("no city with code %1").arg(code);
        return false;
    }
    return true;
}

bool CityTable::importCsv(const QString &csvPath)
{
    QFile file(csvPath);
    if (!isRegularFileOrAbsent(csvPath)) {
        lastError_ = QStringLiteral("%1: not a regular file").arg(csvPath);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        lastError_ = QStringLiteral("%1: %2").arg(csvPath, file.errorString());
        return false;
    }
    const CityCsv csv = parseCityCsv(file.readAll());
    if (!csv.ok()) {
        lastError_ = QStringLiteral("%1:%2: %3").arg(csvPath).arg(csv.errorLine).arg(csv.error);
        return false;
    }

    std::vector<QVariantList> rows;
    for (const CityRow &r : csv.rows)
        rows.push_back({r.Code, r.Name, r.LongMin, r.LongSec, r.LatMin, r.LatSec, r.IsLon, r.IsLat, r.IsRus,
                        r.TimeZone, r.DST});
    QStringList fields;
    for (const char *f : kFields)
        fields << QLatin1String(f);
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    return replaceTableRows(db, QStringLiteral("CityCodes"), fields, rows, lastError_);
}

bool CityTable::exportCsv(const QString &csvPath) const
{
    const std::vector<CityRow> all = rows();
    return writeFileAtomically(csvPath, formatCityCsv(all), &lastError_);
}

bool installDefaultCityTable(const QString &builtFile, const QString &target)
{
    // An empty file is what a start on a full disk leaves: it holds no table
    // and takes the shipped one as well.
    const QFileInfo there(target);
    if (there.exists() && !(there.isFile() && there.size() == 0))
        return true;
    if (!QFileInfo(builtFile).isFile())
        return false;
    // Copied beside the target and renamed, so a half-written copy is never
    // taken for the table.
    return installFileCopy(builtFile, target);
}

}  // namespace nimbrel

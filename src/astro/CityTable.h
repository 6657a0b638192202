// The city table CityCodes in the SQLite file `citycodes`: the cities the
// location controls offer, each with its coordinates in whole degrees and
// minutes, hemisphere flags, standard time zone and daylight-saving rule code.
// Rows named "User Defined" carry coordinates the user types in; they are
// written back at shut-down.
//
// The shipped table is built from data/citycodes.csv; the same CSV form is
// read and written here, strictly, so a mistake in the data stops the build.
#pragma once

#include "TableFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace nimbrel {

// One row, fields in the table's order. Fields ending in "Min" hold whole
// degrees and those ending in "Sec" minutes of arc.
struct CityRow {
    int Code = 0;         // the city code; the station names codes 0..255
    QString Name;         // at most 30 characters
    int LongMin = 0;      // longitude degrees 0..179
    int LongSec = 0;      // longitude minutes 0..59
    int LatMin = 0;       // latitude degrees 0..90
    int LatSec = 0;       // latitude minutes 0..59
    int IsLon = 0;        // 0 west, 1 east
    int IsLat = 0;        // 0 north, 1 south
    int IsRus = 0;        // 1 for a city in Russia; carried, not used
    double TimeZone = 0;  // standard time, hours east of Greenwich, quarter hours allowed
    int DST = 0;          // daylight-saving rule code 0..15; carried, not used

    bool operator==(const CityRow &) const = default;
};

QString userDefinedCityName();  // "User Defined"
constexpr int kCityNameLength = 30;

// Reading the CSV form: a header naming the eleven fields in order, then one
// line per row. Any line that does not hold a valid row is an error; the
// first one found is reported with its line number (1 is the header).
struct CityCsv {
    std::vector<CityRow> rows;
    int errorLine = 0;  // 0 when the text was read
    QString error;
    bool ok() const { return errorLine == 0; }
};
CityCsv parseCityCsv(const QByteArray &text);
QByteArray formatCityCsv(const std::vector<CityRow> &rows);

class CityTable {
public:
    struct Opened;
    // Opens or creates the table file. A file proven damaged is moved aside
    // and a copy of shippedTable (when given, else an empty table) takes its
    // place; one that is locked, read-only or unreadable is left as it is
    // (TableFile.h).
    static Opened open(const QString &path, const QDateTime &now, const QString &shippedTable = {});
    ~CityTable();
    CityTable(const CityTable &) = delete;
    CityTable &operator=(const CityTable &) = delete;

    // All rows in Code order (rows of equal codes in the order they were added).
    std::vector<CityRow> rows() const;
    // The first row with exactly this code.
    std::optional<CityRow> find(int code) const;
    // Writes hand-entered coordinates into the first row with this code;
    // false when there is none or the write failed.
    bool updateUserDefined(int code, int latMin, int latSec, int longMin, int longSec, int isLat, int isLon,
                           double timeZone);
    // Replaces every row with those of a CSV file; on any error the table is
    // left as it was and lastError() says "<file>:<line>: <reason>".
    bool importCsv(const QString &csvPath);
    bool exportCsv(const QString &csvPath) const;
    QString lastError() const { return lastError_; }

private:
    explicit CityTable(QString connection) : connection_(std::move(connection)) {}
    QString connection_;
    mutable QString lastError_;
};

struct CityTable::Opened {
    std::unique_ptr<CityTable> table;  // null when the file cannot be used at all
    TableProblem problem = TableProblem::None;
    QString setAside;                  // where a damaged file was moved
    QString error;
};

// Puts the table built with the program at `target` when no file (or only
// an empty one) is there yet. True when `target` exists afterwards (left alone or freshly copied);
// the copy is writable even when the built file is not.
bool installDefaultCityTable(const QString &builtFile, const QString &target);

}  // namespace nimbrel

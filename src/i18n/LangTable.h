// The translation table LangSet in the SQLite file `lang`: one row per
// component text of the two windows, with the text in each of the five
// languages. Rows are kept and read in the order they were written (the
// table has no index), because a language switch applies them in that order.
//
// The shipped table is built from data/lang.tsv; the same TSV form is read
// here, strictly, so a mistake in the data stops the build.
#pragma once

#include "TableFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <memory>
#include <vector>

namespace nimbrel {

// The languages in the order of the language box's items, which is also the
// order of the text columns: RUS, ENG, DEU, FRA, ITA.
constexpr int kLanguageCount = 5;
// "RUS" .. "ITA" for 0..4, empty for any other index.
QString languageColumn(int language);
// Whose month and weekday names and date order the windows' dates use in a
// language: the system's own locale when it speaks that language (its
// country's habits kept; the C locale counts as English), else the
// language's main locale. Any other index: the system's locale.
QLocale languageLocale(int language, const QLocale &system = QLocale());

constexpr int kLangNameLength = 30;
constexpr int kLangTextLength = 255;

// One row, fields in the table's order.
struct LangRow {
    int Form = 0;   // 1 or 2: the main window; 3: the history window
    QString Name;   // the component's name; "Form3" in a Form 3 row names the history window
    int Item = 0;   // status panel, list item or series number
    int Type = 0;   // which text of the component (caption, hint, panel, item, series title)
    QString RUS;
    QString ENG;
    QString DEU;
    QString FRA;
    QString ITA;

    // The text of one language (0..4); empty for any other index.
    QString text(int language) const;
    bool operator==(const LangRow &) const = default;
};

// The TSV form: a header naming the nine fields in order, separated by tabs,
// then one line per row. Lines starting with '#' and empty lines are notes
// for the reader. In a text, "\n" stands for a line break and "\\" for a
// backslash; a tab cannot be written. Any other line that does not hold a
// valid row is an error, reported with its line number (1 is the first).
struct LangTsv {
    std::vector<LangRow> rows;
    int errorLine = 0;  // 0 when the text was read
    QString error;
    bool ok() const { return errorLine == 0; }
};
LangTsv parseLangTsv(const QByteArray &text);

class LangTable {
public:
    struct Opened;
    // Opens the table file, which must exist: a missing file is not created.
    // A file proven damaged is moved aside and a copy of shippedTable (when
    // given) takes its place; one that is locked or unreadable is left as it
    // is (TableFile.h).
    static Opened open(const QString &path, const QDateTime &now, const QString &shippedTable = {});
    // Creates an empty table file for the build tool to fill.
    static Opened create(const QString &path, const QDateTime &now);
    ~LangTable();
    LangTable(const LangTable &) = delete;
    LangTable &operator=(const LangTable &) = delete;

    // The rows addressed to one window (Form value), in stored order.
    std::vector<LangRow> rows(int form) const;
    int rowCount() const;
    // Replaces every row with those of a TSV file; on any error the table is
    // left as it was and lastError() says "<file>:<line>: <reason>".
    bool importTsv(const QString &tsvPath);
    QString lastError() const { return lastError_; }

private:
    explicit LangTable(QString connection) : connection_(std::move(connection)) {}
    QString connection_;
    mutable QString lastError_;
};

struct LangTable::Opened {
    std::unique_ptr<LangTable> table;  // null when the file cannot be used
    TableProblem problem = TableProblem::None;
    QString setAside;  // where a damaged file was moved
    QString error;     // why it cannot be used, when it cannot
};

// Puts the table built with the program at `target` when no file (or only an
// empty one) is there yet. True when `target` exists afterwards.
bool installDefaultLangTable(const QString &builtFile, const QString &target);

}  // namespace nimbrel

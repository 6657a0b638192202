#include "LangTable.h"

#include "SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace nimbrel {

namespace {

const char *const kFields[] = {"Form", "Name", "Item", "Type", "RUS", "ENG", "DEU", "FRA", "ITA"};
constexpr int kFieldCount = int(std::size(kFields));

// No index: the rowid keeps the order the rows were written in.
const char *const kCreateTable = R"(CREATE TABLE IF NOT EXISTS LangSet (
    Form INTEGER NOT NULL DEFAULT 0,
    Name TEXT NOT NULL DEFAULT '',
    Item INTEGER NOT NULL DEFAULT 0,
    Type INTEGER NOT NULL DEFAULT 0,
    RUS TEXT NOT NULL DEFAULT '',
    ENG TEXT NOT NULL DEFAULT '',
    DEU TEXT NOT NULL DEFAULT '',
    FRA TEXT NOT NULL DEFAULT '',
    ITA TEXT NOT NULL DEFAULT ''
))";
constexpr int kSchemaVersion = 1;

TableShape langShape()
{
    TableShape shape{QStringLiteral("LangSet"), {}, kSchemaVersion, {}, {QString::fromLatin1(kCreateTable)}, {}};
    for (const char *f : kFields)
        shape.fields << QLatin1String(f);
    return shape;
}

QString headerLine()
{
    QStringList names;
    for (const char *f : kFields)
        names << QLatin1String(f);
    return names.join(QLatin1Char('\t'));
}

// "\n" is a line break, "\\" a backslash; any other escape is a mistake.
bool unescape(const QString &field, QString &out, QString &why)
{
    out.clear();
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] != QLatin1Char('\\')) {
            out += field[i];
            continue;
        }
        if (i + 1 < field.size() && field[i + 1] == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (i + 1 < field.size() && field[i + 1] == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else {
            why = QStringLiteral("a backslash that is neither \\n nor \\\\");
            return false;
        }
        ++i;
    }
    return true;
}

bool wholeNumber(const QString &text, int lo, int hi, int &out)
{
    bool ok = !text.isEmpty() && text.trimmed() == text && !text.startsWith(QLatin1Char('+'));
    const int v = ok ? text.toInt(&ok) : 0;
    if (!ok || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool validName(const QString &name)
{
    if (name.isEmpty() || name.size() > kLangNameLength)
        return false;
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

}  // namespace

QLocale languageLocale(int language, const QLocale &system)
{
    static constexpr QLocale::Language kLanguages[kLanguageCount] = {
        QLocale::Russian, QLocale::English, QLocale::German, QLocale::French, QLocale::Italian};
    if (language < 0 || language >= kLanguageCount)
        return system;
    const QLocale::Language spoken = system.language() == QLocale::C ? QLocale::English : system.language();
    return spoken == kLanguages[language] ? system : QLocale(kLanguages[language]);
}

QString languageColumn(int language)
{
    if (language < 0 || language >= kLanguageCount)
        return {};
    return QLatin1String(kFields[4 + language]);
}

QString LangRow::text(int language) const
{
    switch (language) {
    case 0: return RUS;
    case 1: return ENG;
    case 2: return DEU;
    case 3: return FRA;
    case 4: return ITA;
    default: return {};
    }
}

LangTsv parseLangTsv(const QByteArray &text)
{
    LangTsv result;
    auto fail = [&result](int line, const QString &why) {
        result.rows.clear();
        result.errorLine = line;
        result.error = why;
        return result;
    };
    QByteArray bytes = text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<QByteArray> lines = bytes.split('\n');
    bool headerSeen = false;
    QSet<QString> seen;
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = QString::fromUtf8(lines[i]);
        if (line.contains(QChar::ReplacementCharacter))
            return fail(lineNo, QStringLiteral("the line is not UTF-8 text"));
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (!headerSeen) {
            if (line != headerLine())
                return fail(lineNo, QStringLiteral("the first row must be the header %1").arg(headerLine()));
            headerSeen = true;
            continue;
        }
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() != kFieldCount)
            return fail(lineNo, QStringLiteral("%1 fields, expected %2").arg(fields.size()).arg(kFieldCount));
        LangRow r;
        if (!wholeNumber(fields[0], 1, 3, r.Form))
            return fail(lineNo, QStringLiteral("Form \"%1\" is not 1, 2 or 3").arg(fields[0]));
        r.Name = fields[1];
        if (!validName(r.Name))
            return fail(lineNo, QStringLiteral("Name \"%1\" is not a component name of 1..%2 letters, digits or _")
                                    .arg(r.Name)
                                    .arg(kLangNameLength));
        if (!wholeNumber(fields[2], 0, 1000, r.Item))
            return fail(lineNo, QStringLiteral("Item \"%1\" is not a whole number 0..1000").arg(fields[2]));
        if (!wholeNumber(fields[3], 1, 5, r.Type))
            return fail(lineNo, QStringLiteral("Type \"%1\" is not 1..5").arg(fields[3]));
        QString *texts[] = {&r.RUS, &r.ENG, &r.DEU, &r.FRA, &r.ITA};
        for (int t = 0; t < kLanguageCount; ++t) {
            QString why;
            if (!unescape(fields[4 + t], *texts[t], why))
                return fail(lineNo, QStringLiteral("%1: %2").arg(languageColumn(t), why));
            if (texts[t]->size() > kLangTextLength)
                return fail(lineNo, QStringLiteral("%1 is longer than %2 characters").arg(languageColumn(t)).arg(kLangTextLength));
        }
        // Captions and hints have no item: one row per component and type.
        const int item = (r.Type == 3 || r.Type == 4 || r.Type == 5) ? r.Item : 0;
        const QString key = QStringLiteral("%1/%2/%3/%4").arg(r.Form == 2 ? 1 : r.Form).arg(r.Name).arg(item).arg(r.Type);
        if (seen.contains(key))
            return fail(lineNo, QStringLiteral("%1 type %2 item %3 has a row already").arg(r.Name).arg(r.Type).arg(item));
        seen.insert(key);
        result.rows.push_back(r);
    }
    if (!headerSeen)
        return fail(1, QStringLiteral("the header %1 is missing").arg(headerLine()));
    return result;
}

LangTable::Opened LangTable::open(const QString &path, const QDateTime &now, const QString &shippedTable)
{
    Opened result;
    const QFileInfo info(path);
    if (!info.exists() || (info.isFile() && info.size() == 0)) {
        result.problem = TableProblem::Unreadable;
        result.error = QStringLiteral("%1 is missing").arg(path);
        return result;
    }
    TableFileOpen file = openTableFile(path, QStringLiteral("lang"), now, langShape(), shippedTable);
    result.problem = file.problem;
    result.setAside = file.setAside;
    result.error = file.error;
    if (!file.connection.isEmpty())
        result.table.reset(new LangTable(file.connection));
    return result;
}

LangTable::Opened LangTable::create(const QString &path, const QDateTime &now)
{
    Opened result;
    TableFileOpen file = openTableFile(path, QStringLiteral("lang"), now, langShape());
    result.problem = file.problem;
    result.error = file.error;
    if (!file.connection.isEmpty())
        result.table.reset(new LangTable(file.connection));
    return result;
}

LangTable::~LangTable()
{
    closeTableFile(connection_);
}

std::vector<LangRow> LangTable::rows(int form) const
{
    std::vector<LangRow> out;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT Form, Name, Item, Type, RUS, ENG, DEU, FRA, ITA FROM LangSet "
                             "WHERE Form = :form ORDER BY rowid"));
    q.bindValue(QStringLiteral(":form"), form);
    if (!q.exec()) {
        lastError_ = q.lastError().text();
        return out;
    }
    while (q.next()) {
        LangRow r;
        r.Form = q.value(0).toInt();
        r.Name = q.value(1).toString();
        r.Item = q.value(2).toInt();
        r.Type = q.value(3).toInt();
        r.RUS = q.value(4).toString();
        r.ENG = q.value(5).toString();
        r.DEU = q.value(6).toString();
        r.FRA = q.value(7).toString();
        r.ITA = q.value(8).toString();
        out.push_back(r);
    }
    return out;
}

int LangTable::rowCount() const
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM LangSet")) || !q.next()) {
        lastError_ = q.lastError().text();
        return 0;
    }
    return q.value(0).toInt();
}

bool LangTable::importTsv(const QString &tsvPath)
{
    QFile file(tsvPath);
    if (!isRegularFileOrAbsent(tsvPath) || !file.open(QIODevice::ReadOnly)) {
        lastError_ = QStringLiteral("%1: cannot be read").arg(tsvPath);
        return false;
    }
    const LangTsv tsv = parseLangTsv(file.readAll());
    if (!tsv.ok()) {
        lastError_ = QStringLiteral("%1:%2: %3").arg(tsvPath).arg(tsv.errorLine).arg(tsv.error);
        return false;
    }
    std::vector<QVariantList> rows;
    for (const LangRow &r : tsv.rows)
        rows.push_back({r.Form, r.Name, r.Item, r.Type, r.RUS, r.ENG, r.DEU, r.FRA, r.ITA});
    QStringList fields;
    for (const char *f : kFields)
        fields << QLatin1String(f);
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    return replaceTableRows(db, QStringLiteral("LangSet"), fields, rows, lastError_);
}

bool installDefaultLangTable(const QString &builtFile, const QString &target)
{
    // An empty file is what a start on a full disk leaves: it takes the
    // shipped table as well.
    const QFileInfo there(target);
    if (there.exists() && !(there.isFile() && there.size() == 0))
        return true;
    if (!QFileInfo(builtFile).isFile())
        return false;
    return installFileCopy(builtFile, target);
}

}  // namespace nimbrel

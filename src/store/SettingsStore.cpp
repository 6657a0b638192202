#include "SettingsStore.h"

#include "TableFile.h"

#include <QSqlError>
#include <QSqlQuery>

namespace nimbrel {

namespace {

const char *const kCreate = R"(CREATE TABLE IF NOT EXISTS SumSet (
    Lang INTEGER NOT NULL DEFAULT 1,
    Temp INTEGER NOT NULL DEFAULT 0,
    Press INTEGER NOT NULL DEFAULT 0,
    Speed INTEGER NOT NULL DEFAULT 0,
    Rain INTEGER NOT NULL DEFAULT 0,
    UVI INTEGER NOT NULL DEFAULT 0,
    UserCoord INTEGER NOT NULL DEFAULT 0,
    CityCode INTEGER NOT NULL DEFAULT 0
))";

constexpr int kSchemaVersion = 1;

// Indexes are 16-bit in the table; anything outside a selector's items is
// caught when applied.
int clamp16(int v)
{
    return qBound(-32768, v, 32767);
}

}  // namespace

SettingsStore::Opened SettingsStore::open(const QString &path, const QDateTime &now)
{
    Opened result;
    static const TableShape shape{QStringLiteral("SumSet"),
                                  {QStringLiteral("Lang"), QStringLiteral("Temp"), QStringLiteral("Press"),
                                   QStringLiteral("Speed"), QStringLiteral("Rain"), QStringLiteral("UVI"),
                                   QStringLiteral("UserCoord"), QStringLiteral("CityCode")},
                                  kSchemaVersion,
                                  {},
                                  {QString::fromLatin1(kCreate)},
                                  {}};
    TableFileOpen file = openTableFile(path, QStringLiteral("settings"), now, shape);
    result.problem = file.problem;
    result.setAside = file.setAside;
    result.error = file.error;
    if (!file.connection.isEmpty())
        result.store.reset(new SettingsStore(file.connection));
    return result;
}

SettingsStore::~SettingsStore()
{
    closeTableFile(connection_);
}

std::optional<Settings> SettingsStore::load() const
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT Lang, Temp, Press, Speed, Rain, UVI, UserCoord, CityCode FROM SumSet "
                               "ORDER BY rowid LIMIT 1")) ||
        !q.next())
        return std::nullopt;
    Settings s;
    s.Lang = q.value(0).toInt();
    s.Temp = q.value(1).toInt();
    s.Press = q.value(2).toInt();
    s.Speed = q.value(3).toInt();
    s.Rain = q.value(4).toInt();
    s.UVI = q.value(5).toInt();
    s.UserCoord = q.value(6).toInt();
    s.CityCode = q.value(7).toInt();
    return s;
}

bool SettingsStore::save(const Settings &s)
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {
        lastError_ = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    bool ok = q.exec(QStringLiteral("DELETE FROM SumSet"));
    ok = ok && q.prepare(QStringLiteral("INSERT INTO SumSet (Lang, Temp, Press, Speed, Rain, UVI, UserCoord, CityCode) "
                                        "VALUES (:Lang, :Temp, :Press, :Speed, :Rain, :UVI, :UserCoord, :CityCode)"));
    if (ok) {
        q.bindValue(QStringLiteral(":Lang"), clamp16(s.Lang));
        q.bindValue(QStringLiteral(":Temp"), clamp16(s.Temp));
        q.bindValue(QStringLiteral(":Press"), clamp16(s.Press));
        q.bindValue(QStringLiteral(":Speed"), clamp16(s.Speed));
        q.bindValue(QStringLiteral(":Rain"), clamp16(s.Rain));
        q.bindValue(QStringLiteral(":UVI"), clamp16(s.UVI));
        q.bindValue(QStringLiteral(":UserCoord"), clamp16(s.UserCoord));
        q.bindValue(QStringLiteral(":CityCode"), s.CityCode);
        ok = q.exec();
    }
    if (!ok) {
        lastError_ = q.lastError().text();
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        lastError_ = db.lastError().text();
        return false;
    }
    return true;
}

}  // namespace nimbrel

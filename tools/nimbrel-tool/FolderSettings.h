// What export and import read from a data folder besides the history: the
// channels' names and the outdoor channel (`[channels]` of nimbrel.ini, the
// outdoor one else `[upload] channel`) and the user's units (the settings
// table `datsum`). Both are read only; a missing or unreadable file gives
// the defaults (no names, channel 1, °C, hPa, km/h, inch, UVI).
#pragma once

#include "HistoryStore.h"
#include "Measurement.h"
#include "PublishSettings.h"
#include "SafeFile.h"
#include "SettingsStore.h"
#include "TableFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace nimbrel::tool {

// The program's own reading of nimbrel.ini, which refuses what is no
// regular file of a few kilobytes; its complaints are the program's to tell.
inline ChannelSettings channelSettings(const QString &folder)
{
    return loadPublishSettings(QDir(folder).filePath(QLatin1String(kPublishSettingsFile))).channels;
}

// The corrections of the folder's nimbrel.ini ([calibration]), so that what
// the tool writes out matches what every face shows; none when it is missing
// or unreadable.
inline void calibrateFromFolder(HistoryStore &store, const QString &folder)
{
    const auto settings = std::make_shared<const PublishSettings>(
        loadPublishSettings(QDir(folder).filePath(QLatin1String(kPublishSettingsFile))));
    store.setCalibration(std::shared_ptr<const Calibration>(settings, &settings->calibration));
}

inline int outdoorChannel(const QString &folder)
{
    return channelSettings(folder).outdoor;
}

inline Settings userUnits(const QString &folder)
{
    Settings units;
    const QString path = QDir(folder).filePath(QStringLiteral("datsum"));
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > (16 << 20))
        return units;
    const QString connection = uniqueConnectionName(QStringLiteral("units"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT Temp, Press, Speed, Rain, UVI FROM SumSet LIMIT 1")) &&
            q.next()) {
            units.Temp = q.value(0).toInt();
            units.Press = q.value(1).toInt();
            units.Speed = q.value(2).toInt();
            units.Rain = q.value(3).toInt();
            units.UVI = q.value(4).toInt();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return units;
}

}  // namespace nimbrel::tool

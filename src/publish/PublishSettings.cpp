// SPDX-License-Identifier: GPL-3.0-or-later
#include "PublishSettings.h"

#include "SafeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace nimbrel {

namespace {

enum class Section { None, Mqtt, Upload, Web, Backup, Channels, Calibration, Destination, Unknown };

// nimbrel.ini is a few lines; a password file's first line, a password.
constexpr qint64 kIniLimit = 64 * 1024;
constexpr qint64 kPasswordFileLimit = 4 * 1024;
// A PEM file of a few authorities (the system's whole bundle is some 200 KB).
constexpr qint64 kCaFileLimit = 1024 * 1024;

std::optional<bool> parseBool(const QString &value)
{
    const QString v = value.toLower();
    if (v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("on") || v == QLatin1String("1"))
        return true;
    if (v == QLatin1String("false") || v == QLatin1String("no") || v == QLatin1String("off") || v == QLatin1String("0"))
        return false;
    return std::nullopt;
}

std::optional<int> parseInt(const QString &value, int low, int high)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < low || n > high)
        return std::nullopt;
    return n;
}

// A name relative to the ini's folder, absolute otherwise.
QString besideIni(const QString &iniPath, const QString &name)
{
    return QDir(QFileInfo(iniPath).absolutePath()).absoluteFilePath(name);
}

// Topic prefixes are joined with '/': no wildcards, no empty levels at the ends.
bool validTopicPrefix(const QString &prefix)
{
    return !prefix.isEmpty() && !prefix.contains(QLatin1Char('+')) && !prefix.contains(QLatin1Char('#')) &&
           !prefix.startsWith(QLatin1Char('/')) && !prefix.endsWith(QLatin1Char('/'));
}

// A number written with a '.', e.g. -0.4; false for anything else.
std::optional<double> parseReal(const QString &value, double low, double high)
{
    bool ok = false;
    const double n = value.toDouble(&ok);
    if (!ok || !std::isfinite(n) || n < low || n > high)
        return std::nullopt;
    return n;
}

// One key of [calibration]; the problem's sentence when the key is unknown
// or its value out of range, the value not applied.
std::optional<QString> setCalibration(Calibration &c, const QString &key, const QString &value)
{
    double *target = nullptr;
    double low = 0;
    double high = 0;
    QString unit;
    auto offset = [&](double &t, double limit, const char *u) {
        target = &t;
        low = -limit;
        high = limit;
        unit = QString::fromUtf8(u);
    };
    static const QRegularExpression channelKey(QStringLiteral("^(temperature|humidity)([1-5])$"));
    if (const QRegularExpressionMatch m = channelKey.match(key); m.hasMatch()) {
        const int ch = m.captured(2).toInt() - 1;
        if (m.captured(1) == QLatin1String("temperature"))
            offset(c.temperature[ch], 20, "°C");
        else
            offset(c.humidity[ch], 50, "%");
    } else if (key == QLatin1String("indoorTemperature")) {
        offset(c.indoorTemperature, 20, "°C");
    } else if (key == QLatin1String("indoorHumidity")) {
        offset(c.indoorHumidity, 50, "%");
    } else if (key == QLatin1String("pressure")) {
        offset(c.pressure, 100, "hPa");
    } else if (key == QLatin1String("windDirection")) {
        offset(c.windDirection, 180, "degrees");
    } else if (key == QLatin1String("windSpeed") || key == QLatin1String("rain")) {
        target = key == QLatin1String("rain") ? &c.rain : &c.windSpeed;
        low = 0.5;
        high = 2;
    } else {
        return QStringLiteral("unknown key \"%1\" in [calibration]").arg(key);
    }
    if (const auto n = parseReal(value, low, high)) {
        *target = *n;
        return std::nullopt;
    }
    return QStringLiteral("%1 must be a number from %2 to %3%4, not \"%5\"")
        .arg(key)
        .arg(low)
        .arg(high)
        .arg(unit.isEmpty() ? QString() : QLatin1Char(' ') + unit, value);
}

}  // namespace

QStringList destinationSectionNames()
{
    return {QStringLiteral("cwop"),        QStringLiteral("wow"),          QStringLiteral("awekas"),
            QStringLiteral("windy"),       QStringLiteral("pwsweather"),   QStringLiteral("weathercloud"),
            QStringLiteral("openweathermap"), QStringLiteral("influxdb")};
}

PublishSettings loadPublishSettings(const QString &path)
{
    PublishSettings s;
    s.iniPath = QFileInfo(path).absoluteFilePath();
    IniSection *destination = nullptr;
    // Beside the data folder (the ini's folder), in its parent.
    const QString dataFolder = QFileInfo(path).absolutePath();
    const QString besideData = QFileInfo(dataFolder).absolutePath();
    s.backup.folder = QDir(besideData).absoluteFilePath(QStringLiteral("nimbrel-backups"));
    bool backupRefused = false;
    const QString shown = QFileInfo(path).fileName();
    QByteArray text;
    QString why;
    bool complete = false;
    switch (readFileStart(path, kIniLimit, text, why, true, &complete)) {
    case FileRead::Missing:
        return s;
    case FileRead::Refused:
        s.problems << QStringLiteral("%1: cannot be read (%2); MQTT and uploads stay off.").arg(shown, why);
        return s;
    case FileRead::Read:
        break;
    }
    if (!complete) {
        s.problems << QStringLiteral("%1: cannot be read (it is larger than %2 KB); MQTT and uploads stay off.")
                          .arg(shown)
                          .arg(kIniLimit / 1024);
        return s;
    }
    QBuffer file(&text);
    file.open(QIODevice::ReadOnly);

    Section section = Section::None;
    QString passwordFile;
    int passwordFileLine = 0;
    bool uploadChannelGiven = false;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        QString line = QString::fromUtf8(file.readLine());
        if (number == 1 && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        line = line.trimmed();
        auto complain = [&](const QString &why) {
            s.problems << QStringLiteral("%1:%2: %3; the line is skipped.").arg(shown).arg(number).arg(why);
        };
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const QString name = line.endsWith(QLatin1Char(']')) ? line.mid(1, line.size() - 2).trimmed() : QString();
            if (name == QLatin1String("mqtt")) {
                section = Section::Mqtt;
            } else if (name == QLatin1String("upload")) {
                section = Section::Upload;
            } else if (name == QLatin1String("web")) {
                section = Section::Web;
            } else if (name == QLatin1String("backup")) {
                section = Section::Backup;
            } else if (name == QLatin1String("channels")) {
                section = Section::Channels;
            } else if (name == QLatin1String("calibration")) {
                section = Section::Calibration;
            } else if (destinationSectionNames().contains(name)) {
                section = Section::Destination;
                const auto same = std::find_if(s.sections.begin(), s.sections.end(),
                                               [&](const IniSection &d) { return d.name == name; });
                if (same == s.sections.end()) {
                    s.sections.push_back({name, number, {}});
                    destination = &s.sections.back();
                } else {
                    destination = &*same;
                }
            } else {
                section = Section::Unknown;
                complain(name.isEmpty()
                             ? QStringLiteral("a section name needs [ and ]")
                             : QStringLiteral("unknown section [%1] (known: [mqtt], [upload], [web], [backup], "
                                              "[channels], [calibration], [%2])")
                                   .arg(name, destinationSectionNames().join(QLatin1String("], ["))));
            }
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            complain(QStringLiteral("expected key=value"));
            continue;
        }
        if (section == Section::Unknown)
            continue;  // the section line was reported already
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (section == Section::None) {
            complain(QStringLiteral("\"%1\" stands before any section such as [mqtt]")
                         .arg(key));
            continue;
        }
        if (section == Section::Destination) {
            destination->entries.push_back({key, value, number});
            continue;
        }
        auto setBool = [&](bool &target) {
            if (const auto b = parseBool(value))
                target = *b;
            else
                complain(QStringLiteral("%1 must be true or false, not \"%2\"").arg(key, value));
        };
        // True when the value was taken.
        auto setInt = [&](int &target, int low, int high) {
            if (const auto n = parseInt(value, low, high)) {
                target = *n;
                return true;
            }
            complain(QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"")
                         .arg(key)
                         .arg(low)
                         .arg(high)
                         .arg(value));
            return false;
        };
        auto setPrefix = [&](QString &target) {
            if (validTopicPrefix(value))
                target = value;
            else
                complain(
                    QStringLiteral("%1 must be a topic without + or # and without a leading or trailing /, not \"%2\"")
                        .arg(key, value));
        };
        // Read once the whole file is through: a relative name is beside it.
        auto notePasswordFile = [&] {
            passwordFile = value;
            passwordFileLine = number;
        };
        auto setUrl = [&](QUrl &target) {
            const QUrl url(value, QUrl::StrictMode);
            const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
            if (url.isValid() && web && !url.host().isEmpty())
                target = url;
            else
                complain(QStringLiteral("url must be an http:// or https:// address, not \"%1\"").arg(value));
        };

        // Only a numeric address: a host name would be looked up, and might
        // name more machines than the user meant.
        auto setAddress = [&](QString &target) {
            if (!QHostAddress(value).isNull())
                target = value;
            else
                complain(QStringLiteral("%1 must be an IP address such as 127.0.0.1 or 0.0.0.0, not \"%2\"")
                             .arg(key, value));
        };

        // Host names as a browser sends them in the Host header.
        auto setHosts = [&](QStringList &target) {
            static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
            static const QRegularExpression name(QStringLiteral("^[a-z0-9_]([a-z0-9_.-]*[a-z0-9_])?$"));
            QStringList names;
            for (QString n : value.toLower().split(separators, Qt::SkipEmptyParts)) {
                if (n.endsWith(QLatin1Char('.')))
                    n.chop(1);
                if (!name.match(n).hasMatch()) {
                    complain(QStringLiteral("hosts must be host names such as weather.lan, not \"%1\"").arg(n));
                    return;
                }
                names << n;
            }
            target = names;
        };

        if (section == Section::Channels) {
            ChannelSettings &c = s.channels;
            static const QRegularExpression nameKey(QStringLiteral("^name([1-5])$"));
            const QRegularExpressionMatch named = nameKey.match(key);
            if (named.hasMatch()) {
                const bool control = std::any_of(value.begin(), value.end(), [](QChar ch) {
                    return ch.category() == QChar::Other_Control || ch.category() == QChar::Other_Format;
                });
                if (value.size() > kChannelNameLimit)
                    complain(QStringLiteral("%1 must be at most %2 characters, not %3")
                                 .arg(key)
                                 .arg(kChannelNameLimit)
                                 .arg(value.size()));
                else if (control)
                    complain(QStringLiteral("%1 must not hold control characters").arg(key));
                else
                    c.names[static_cast<std::size_t>(named.captured(1).toInt() - 1)] = value;
            } else if (key == QLatin1String("outdoor")) {
                c.outdoorGiven = setInt(c.outdoor, 1, 5) || c.outdoorGiven;
            } else {
                complain(QStringLiteral("unknown key \"%1\" in [channels]").arg(key));
            }
        } else if (section == Section::Calibration) {
            if (const std::optional<QString> why = setCalibration(s.calibration, key, value))
                s.problems << QStringLiteral("%1:%2: %3; that correction is not applied.").arg(shown).arg(number).arg(*why);
        } else if (section == Section::Backup) {
            BackupSettings &b = s.backup;
            auto refuse = [&](const QString &why) {
                s.problems << QStringLiteral("%1:%2: %3; automatic backups stay off.").arg(shown).arg(number).arg(why);
                backupRefused = true;
            };
            auto setCount = [&](int &target, int low, int high) {
                if (const auto n = parseInt(value, low, high))
                    target = *n;
                else
                    refuse(QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"").arg(key).arg(low).arg(high).arg(value));
            };
            if (key == QLatin1String("enabled")) {
                if (const auto on = parseBool(value))
                    b.enabled = *on;
                else
                    refuse(QStringLiteral("enabled must be true or false, not \"%1\"").arg(value));
            } else if (key == QLatin1String("folder")) {
                const QString folder = QDir::cleanPath(QDir(besideData).absoluteFilePath(value));
                if (value.isEmpty())
                    refuse(QStringLiteral("folder needs a folder's name"));
                else if (folder == dataFolder || folder.startsWith(dataFolder + QLatin1Char('/')))
                    refuse(QStringLiteral("folder %1 lies inside the data folder; choose one outside it").arg(value));
                else
                    b.folder = folder;
            } else if (key == QLatin1String("daily")) {
                setCount(b.daily, 1, 366);
            } else if (key == QLatin1String("weekly")) {
                setCount(b.weekly, 0, 520);
            } else {
                refuse(QStringLiteral("unknown key \"%1\" in [backup]").arg(key));
            }
        } else if (section == Section::Mqtt) {
            MqttSettings &m = s.mqtt;
            if (key == QLatin1String("enabled"))
                setBool(m.enabled);
            else if (key == QLatin1String("host"))
                m.host = value;
            else if (key == QLatin1String("port"))
                setInt(m.port, 1, 65535);
            else if (key == QLatin1String("user"))
                m.user = value;
            else if (key == QLatin1String("password"))
                m.password = value;
            else if (key == QLatin1String("passwordFile"))
                notePasswordFile();
            else if (key == QLatin1String("tls"))
                setBool(m.tls);
            else if (key == QLatin1String("caFile"))
                m.caFile = value.isEmpty() ? QString() : besideIni(path, value);
            else if (key == QLatin1String("topicPrefix"))
                setPrefix(m.topicPrefix);
            else if (key == QLatin1String("discoveryPrefix"))
                setPrefix(m.discoveryPrefix);
            else
                complain(QStringLiteral("unknown key \"%1\" in [mqtt]").arg(key));
        } else if (section == Section::Web) {
            WebSettings &w = s.web;
            if (key == QLatin1String("enabled"))
                setBool(w.enabled);
            else if (key == QLatin1String("port"))
                setInt(w.port, 1, 65535);
            else if (key == QLatin1String("bind"))
                setAddress(w.bind);
            else if (key == QLatin1String("hosts"))
                setHosts(w.hosts);
            else if (key == QLatin1String("chartScript"))
                w.chartScript = value.isEmpty() ? QString() : besideIni(path, value);
            else
                complain(QStringLiteral("unknown key \"%1\" in [web]").arg(key));
        } else {
            UploadSettings &u = s.upload;
            if (key == QLatin1String("enabled"))
                setBool(u.enabled);
            else if (key == QLatin1String("url"))
                setUrl(u.url);
            else if (key == QLatin1String("stationId"))
                u.stationId = value;
            else if (key == QLatin1String("key"))
                u.key = value;
            else if (key == QLatin1String("channel"))
                uploadChannelGiven = setInt(u.channel, 1, 5) || uploadChannelGiven;
            else
                complain(QStringLiteral("unknown key \"%1\" in [upload]").arg(key));
        }
    }

    if (!passwordFile.isEmpty()) {
        // Only the first line counts: a file without an end (a FIFO,
        // /dev/zero) is refused, a large one read no further than a password.
        const QString secretPath = besideIni(path, passwordFile);
        QByteArray secret;
        const FileRead read = readFileStart(secretPath, kPasswordFileLimit, secret, why);
        if (read == FileRead::Missing)
            why = QStringLiteral("no such file");
        if (read == FileRead::Read) {
            s.mqtt.password = QString::fromUtf8(secret.left(secret.indexOf('\n'))).remove(QLatin1Char('\r'));
        } else {
            s.problems << QStringLiteral("%1:%2: the password file %3 cannot be read (%4); MQTT stays off.")
                              .arg(shown)
                              .arg(passwordFileLine)
                              .arg(secretPath, why);
            s.mqtt.enabled = false;
        }
    }
    if (!s.mqtt.caFile.isEmpty()) {
        // Read by the MQTT library on its own thread: looked at here, so that
        // a FIFO cannot hang it and anything else is said in words.
        QByteArray authority;
        bool whole = false;
        const FileRead read = readFileStart(s.mqtt.caFile, kCaFileLimit, authority, why, true, &whole);
        if (read != FileRead::Read || !whole) {
            if (read == FileRead::Missing)
                why = QStringLiteral("no such file");
            else if (read == FileRead::Read)
                why = QStringLiteral("it is larger than %1 KB").arg(kCaFileLimit / 1024);
            s.problems << QStringLiteral("%1: the caFile %2 cannot be used (%3); MQTT stays off.")
                              .arg(shown, s.mqtt.caFile, why);
            s.mqtt.enabled = false;
        }
    }
    if (s.mqtt.enabled && s.mqtt.host.isEmpty()) {
        s.problems << QStringLiteral("%1: [mqtt] is enabled but names no host; MQTT stays off.").arg(shown);
        s.mqtt.enabled = false;
    }
    if (s.upload.enabled && (s.upload.url.isEmpty() || s.upload.stationId.isEmpty() || s.upload.key.isEmpty())) {
        s.problems << QStringLiteral("%1: [upload] is enabled but url, stationId or key is missing; uploads stay off.")
                          .arg(shown);
        s.upload.enabled = false;
    }
    if (backupRefused)
        s.backup.enabled = false;
    if (!s.channels.outdoorGiven)
        s.channels.outdoor = s.upload.channel;
    else if (!uploadChannelGiven)
        s.upload.channel = s.channels.outdoor;
    return s;
}

}  // namespace nimbrel

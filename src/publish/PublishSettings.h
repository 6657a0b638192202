// SPDX-License-Identifier: GPL-3.0-or-later
// Where the current conditions are sent besides the window: an MQTT broker
// (with Home Assistant discovery) and a personal-weather-station upload. Both
// are configured in `nimbrel.ini` beside the history file:
//
//   [mqtt]
//   enabled=true
//   host=localhost
//   port=1883
//   user=nimbrel
//   passwordFile=mqtt.pass
//   topicPrefix=nimbrel
//   discoveryPrefix=homeassistant
//
//   [upload]
//   enabled=true
//   url=https://example.org/weatherstation/updateweatherstation.php
//   stationId=IMYTOWN12
//   key=abcdef12
//
//   [web]
//   enabled=true
//   port=8377
//   bind=127.0.0.1
//
// [mqtt]: enabled (true/false, default false), host, port (default 1883),
// user (empty: no user name), password, or passwordFile (its first line; a
// relative name is beside the ini; it wins over password), tls (true/false),
// caFile (PEM; empty with tls: the system's authorities), topicPrefix
// (default "nimbrel"), discoveryPrefix (default "homeassistant").
// [upload]: enabled, url, stationId, key (sent as PASSWORD), channel (the
// remote channel 1..5 that is outdoors, default 1).
// [web]: enabled (default false), port (1..65535, default 8377), bind (the
// address to listen on, default 127.0.0.1: only this computer; a LAN address
// or 0.0.0.0 opens the page to other machines and is never chosen for the
// user), hosts (names, separated by commas or spaces, that other machines
// reach the page under: requests naming any other host are refused, so that
// another site cannot read the page through DNS rebinding), chartScript (the
// charting library the page loads, default the one Debian's libjs-chart.js
// installs).
//
//   [backup]
//   enabled=true
//   folder=nimbrel-backups
//   daily=7
//   weekly=4
//
// [backup]: automatic backups of the data folder (FolderBackup.h), one a
// day, of which the newest `daily` (1..366, default 7) are kept plus the
// newest of each of `weekly` (0..520, default 4) earlier weeks. enabled
// (default false); folder (default "nimbrel-backups"; a relative name is
// taken beside the data folder, in its parent, so that a backup does not
// share the folder it guards, e.g. ~/.local/share/nimbrel-backups). A bad
// value, or a folder inside the data folder, is reported and leaves the
// automatic backups off.
//
//   [channels]
//   name1=Garden
//   name3=Greenhouse
//   outdoor=1
//
// [channels]: what the remote channels are called where the program shows
// them (the window, the history window, the web page, Home Assistant's
// entity names, the export's headers): nameN (N = 1..5; at most 32
// characters, no control characters; empty: the channel keeps its number),
// and outdoor, the channel (1..5) that is outdoors (default: [upload]
// channel, itself default 1; when [upload] names no channel, the upload
// follows this one).
//
//   [calibration]
//   temperature1=-0.4
//   humidity1=3
//   pressure=1.2
//   windSpeed=1.1
//   windDirection=22.5
//
// [calibration]: corrections applied to every reading shown, published,
// uploaded or exported, old and new alike; the history keeps what the
// station sent (Calibration.h). indoorTemperature, temperature1..5 (°C,
// -20..20) and indoorHumidity, humidity1..5 (%, -50..50) are offsets for the
// indoor sensor and channels 1..5; pressure an offset (hPa, -100..100);
// windSpeed and rain factors (0.5..2); windDirection the vane's offset from
// north (degrees, -180..180, applied in the station's steps of 22.5°).
// A bad value is reported and that key is not applied.
//
// A missing file means all three are off. Lines are `key=value` with the spaces
// around both trimmed; blank lines and lines starting with ';' or '#' are
// ignored (there are no comments after a value: a password may hold any
// character). Every line that cannot be read (no '=', an unknown section or
// key, a value of the wrong kind) is reported once with its file and line
// number and skipped; the rest of the file applies.
#pragma once

#include "Calibration.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <array>
#include <optional>
#include <vector>

namespace nimbrel {

inline constexpr char kPublishSettingsFile[] = "nimbrel.ini";

struct MqttSettings {
    bool enabled = false;
    QString host;
    int port = 1883;
    QString user;
    QString password;  // from `password` or read from `passwordFile`
    bool tls = false;
    QString caFile;  // absolute
    QString topicPrefix = QStringLiteral("nimbrel");
    QString discoveryPrefix = QStringLiteral("homeassistant");
};

struct UploadSettings {
    bool enabled = false;
    QUrl url;
    QString stationId;
    QString key;
    int channel = 1;  // 1..5: whose temperature and humidity are "outdoor"
};

struct WebSettings {
    bool enabled = false;
    int port = 8377;
    QString bind = QStringLiteral("127.0.0.1");
    QStringList hosts;  // lower case, without a final dot
    QString chartScript = QStringLiteral("/usr/share/javascript/chart.js/chart.min.js");
};

inline constexpr int kChannelNameLimit = 32;

struct ChannelSettings {
    std::array<QString, 5> names;  // index 0 is channel 1; empty: unnamed
    int outdoor = 1;               // 1..5
    bool outdoorGiven = false;     // written in [channels], not taken from [upload]
};

struct BackupSettings {
    bool enabled = false;
    QString folder;  // absolute; empty until the file is read
    int daily = 7;
    int weekly = 4;
};

// One line of a destination's own section, as written.
struct IniEntry {
    QString key;
    QString value;
    int line = 0;
};

// A destination's section ([cwop], [influxdb], ...), read by that destination
// (SectionReader.h). A section written twice is one section.
struct IniSection {
    QString name;
    int line = 0;  // where it first starts
    std::vector<IniEntry> entries;
};

// The sections of the destinations beyond MQTT and the upload.
QStringList destinationSectionNames();

struct PublishSettings {
    QString iniPath;  // absolute
    MqttSettings mqtt;
    UploadSettings upload;
    WebSettings web;
    BackupSettings backup;
    ChannelSettings channels;
    Calibration calibration;
    std::vector<IniSection> sections;
    // One sentence per line that was not applied, "nimbrel.ini:7: ..."; also
    // settings that leave a service off (enabled without a host or URL).
    QStringList problems;
};

// Reads the file; a missing file gives both services off and no problems.
PublishSettings loadPublishSettings(const QString &path);

}  // namespace nimbrel

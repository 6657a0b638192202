// SPDX-License-Identifier: GPL-3.0-or-later
// Reads one destination's section of nimbrel.ini. Every getter notes the key
// as known; a value that cannot be used, a key the destination does not know
// or a secret file that cannot be read is reported in one sentence naming
// the file, the line and the key, and leaves that destination off (ok()
// turns false) while the others run:
//
//   nimbrel.ini:12: [cwop] interval must be a whole number from 5 to 1440, not "2"; CWOP stays off.
//
// A section that is not enabled is not looked at further: a disabled
// destination is never a problem.
#pragma once

#include "PublishSettings.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace nimbrel {

class SectionReader {
public:
    // `title` names the destination in sentences ("CWOP"); `problems` gets them.
    SectionReader(const IniSection &section, QString iniPath, QString title, QStringList *problems);

    const QString &name() const { return section_.name; }
    const QString &title() const { return title_; }
    bool ok() const { return ok_; }

    // `enabled`, default false.
    bool enabled();
    // The value as written, `fallback` when the key is absent.
    QString text(const QString &key, const QString &fallback = {});
    // The value; absent or empty: "[cwop] is enabled but has no stationId".
    QString required(const QString &key);
    // A value that must match `pattern` (a whole-value regular expression);
    // `shape` says in words what it must look like ("a callsign such as
    // EW1234 or DL1ABC-13"). Absent: `fallback` (empty fallback: required).
    QString shaped(const QString &key, const QString &pattern, const QString &shape, const QString &fallback = {});
    int integer(const QString &key, int low, int high, int fallback);
    double number(const QString &key, double low, double high, double fallback);
    bool boolean(const QString &key, bool fallback);
    // An http:// or https:// address; absent: `fallback`.
    QUrl url(const QString &key, const QUrl &fallback);
    // A secret written in place (`key`) or as the first line of a file
    // (`fileKey`, a relative name is beside nimbrel.ini; it wins). Absent
    // both: empty, and a problem when `needed`.
    QString secret(const QString &key, const QString &fileKey, bool needed = true);
    // A file name beside nimbrel.ini (absolute when written so); absent: empty.
    QString path(const QString &key);

    // Reports `why` at the key's line (or the section's) and leaves the
    // destination off.
    void refuse(const QString &key, const QString &why);
    // Reports every key no getter asked for; returns ok().
    bool finish();

private:
    const IniEntry *find(const QString &key);
    void report(int line, const QString &why);

    const IniSection &section_;
    QString iniPath_;
    QString shown_;
    QString title_;
    QStringList *problems_;
    QSet<QString> known_;
    bool ok_ = true;
};

}  // namespace nimbrel

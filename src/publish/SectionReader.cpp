// SPDX-License-Identifier: GPL-3.0-or-later
#include "SectionReader.h"

#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

namespace nimbrel {

namespace {

constexpr qint64 kSecretFileLimit = 4 * 1024;

}  // namespace

SectionReader::SectionReader(const IniSection &section, QString iniPath, QString title, QStringList *problems)
    : section_(section),
      iniPath_(std::move(iniPath)),
      shown_(QFileInfo(iniPath_).fileName()),
      title_(std::move(title)),
      problems_(problems)
{
}

const IniEntry *SectionReader::find(const QString &key)
{
    known_.insert(key);
    const IniEntry *found = nullptr;
    for (const IniEntry &e : section_.entries)
        if (e.key == key)
            found = &e;  // the last one written counts
    return found;
}

void SectionReader::report(int line, const QString &why)
{
    ok_ = false;
    if (problems_)
        *problems_ << QStringLiteral("%1:%2: [%3] %4; %5 stays off.").arg(shown_).arg(line).arg(section_.name, why, title_);
}

void SectionReader::refuse(const QString &key, const QString &why)
{
    const IniEntry *e = find(key);
    report(e ? e->line : section_.line, why);
}

bool SectionReader::enabled()
{
    return boolean(QStringLiteral("enabled"), false);
}

QString SectionReader::text(const QString &key, const QString &fallback)
{
    const IniEntry *e = find(key);
    return e ? e->value : fallback;
}

QString SectionReader::required(const QString &key)
{
    const IniEntry *e = find(key);
    if (!e || e->value.isEmpty()) {
        report(e ? e->line : section_.line, QStringLiteral("is enabled but has no %1").arg(key));
        return {};
    }
    return e->value;
}

QString SectionReader::shaped(const QString &key, const QString &pattern, const QString &shape,
                              const QString &fallback)
{
    const IniEntry *e = find(key);
    if (!e || e->value.isEmpty()) {
        if (fallback.isEmpty())
            report(e ? e->line : section_.line, QStringLiteral("is enabled but has no %1").arg(key));
        return fallback;
    }
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
    if (!re.match(e->value).hasMatch()) {
        report(e->line, QStringLiteral("%1 must be %2, not \"%3\"").arg(key, shape, e->value));
        return {};
    }
    return e->value;
}

int SectionReader::integer(const QString &key, int low, int high, int fallback)
{
    const IniEntry *e = find(key);
    if (!e)
        return fallback;
    bool ok = false;
    const int n = e->value.toInt(&ok);
    if (!ok || n < low || n > high) {
        report(e->line,
               QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\"").arg(key).arg(low).arg(high).arg(e->value));
        return fallback;
    }
    return n;
}

double SectionReader::number(const QString &key, double low, double high, double fallback)
{
    const IniEntry *e = find(key);
    if (!e)
        return fallback;
    bool ok = false;
    const double n = e->value.toDouble(&ok);
    if (!ok || !std::isfinite(n) || n < low || n > high) {
        report(e->line, QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"").arg(key).arg(low).arg(high).arg(e->value));
        return fallback;
    }
    return n;
}

bool SectionReader::boolean(const QString &key, bool fallback)
{
    const IniEntry *e = find(key);
    if (!e)
        return fallback;
    const QString v = e->value.toLower();
    if (v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("on") || v == QLatin1String("1"))
        return true;
    if (v == QLatin1String("false") || v == QLatin1String("no") || v == QLatin1String("off") || v == QLatin1String("0"))
        return false;
    report(e->line, QStringLiteral("%1 must be true or false, not \"%2\"").arg(key, e->value));
    return fallback;
}

QUrl SectionReader::url(const QString &key, const QUrl &fallback)
{
    const IniEntry *e = find(key);
    if (!e)
        return fallback;
    const QUrl url(e->value, QUrl::StrictMode);
    const bool web = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    if (!url.isValid() || !web || url.host().isEmpty()) {
        report(e->line, QStringLiteral("%1 must be an http:// or https:// address, not \"%2\"").arg(key, e->value));
        return fallback;
    }
    return url;
}

QString SectionReader::path(const QString &key)
{
    const IniEntry *e = find(key);
    if (!e || e->value.isEmpty())
        return {};
    return QDir(QFileInfo(iniPath_).absolutePath()).absoluteFilePath(e->value);
}

QString SectionReader::secret(const QString &key, const QString &fileKey, bool needed)
{
    const IniEntry *inPlace = find(key);
    const IniEntry *file = find(fileKey);
    if (file && !file->value.isEmpty()) {
        // Only the first line counts: a file without an end (a FIFO,
        // /dev/zero) is refused, a large one read no further than a secret.
        const QString secretPath = path(fileKey);
        QByteArray bytes;
        QString why;
        const FileRead read = readFileStart(secretPath, kSecretFileLimit, bytes, why);
        if (read == FileRead::Missing)
            why = QStringLiteral("no such file");
        if (read != FileRead::Read) {
            report(file->line, QStringLiteral("%1 %2 cannot be read (%3)").arg(fileKey, secretPath, why));
            return {};
        }
        const QString first = QString::fromUtf8(bytes.left(bytes.indexOf('\n'))).remove(QLatin1Char('\r')).trimmed();
        if (first.isEmpty() && needed)
            report(file->line, QStringLiteral("%1 %2 is empty").arg(fileKey, secretPath));
        return first;
    }
    if (inPlace && !inPlace->value.isEmpty())
        return inPlace->value;
    if (needed)
        report(section_.line, QStringLiteral("is enabled but has neither %1 nor %2").arg(key, fileKey));
    return {};
}

bool SectionReader::finish()
{
    for (const IniEntry &e : section_.entries)
        if (!known_.contains(e.key))
            report(e.line, QStringLiteral("unknown key \"%1\"").arg(e.key));
    return ok_;
}

}  // namespace nimbrel

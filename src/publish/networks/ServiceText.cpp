// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServiceText.h"

#include "NumberFormat.h"

#include <algorithm>
#include <cmath>

namespace nimbrel::networks {

namespace {

constexpr int kMaxWordsShown = 200;

}  // namespace

QString decimalText(double value, int decimals)
{
    return formatFixed(value, decimals, QLatin1Char('.'));
}

QString tenthsText(double value)
{
    // Rounded on the decimal digits first, so that 2.25 °C is 23 tenths
    // and not 22 as 22.499999… would give.
    return QString::number(decimalText(value, 1).remove(QLatin1Char('.')).toLongLong());
}

QDateTime recordUtc(const CurrentConditions &c)
{
    if (!c.time.isValid())
        return {};
    return QDateTime(c.time.date(), c.time.time()).toUTC();
}

std::optional<int> compassDegrees(std::optional<double> degrees)
{
    if (!degrees || !std::isfinite(*degrees))
        return std::nullopt;
    const long whole = std::lround(*degrees);
    return static_cast<int>(((whole % 360) + 360) % 360);
}

const ChannelConditions *outdoorChannel(const CurrentConditions &c, int channel)
{
    const int index = (channel >= 1 && channel <= kChannelCount) ? channel - 1 : 0;
    const ChannelConditions &ch = c.channels[static_cast<std::size_t>(index)];
    return ch.present ? &ch : nullptr;
}

QString shownWords(const QByteArray &body)
{
    QString words = QString::fromUtf8(body).simplified();
    // Control characters of a hostile or broken server never reach a log line.
    for (QChar &ch : words)
        if (!ch.isPrint())
            ch = QLatin1Char('?');
    if (words.isEmpty())
        return QStringLiteral("an empty answer");
    if (words.size() > kMaxWordsShown)
        words = words.left(kMaxWordsShown - 1) + QChar(0x2026);
    return words;
}

std::optional<Answer> httpFailure(const HttpAnswer &answer)
{
    if (answer.status >= 200 && answer.status < 300)
        return std::nullopt;
    if (answer.status <= 0)
        return Answer{Verdict::Retry,
                      answer.error.isEmpty() ? QStringLiteral("no answer") : shownWords(answer.error.toUtf8())};
    const QString body = answer.body.trimmed().isEmpty() ? QString() : QStringLiteral(": ") + shownWords(answer.body);
    const QString words = QStringLiteral("HTTP %1%2").arg(answer.status).arg(body);
    if (answer.status == 429 || answer.status >= 500)
        return Answer{Verdict::Retry, words};
    if (answer.status == 401 || answer.status == 403)
        return Answer{Verdict::Refused, words};
    return Answer{Verdict::Rejected, words};
}

}  // namespace nimbrel::networks

// SPDX-License-Identifier: GPL-3.0-or-later
#include "QueryItems.h"

#include "NumberFormat.h"

#include <QStringList>

namespace nimbrel {

QString queryNumber(double value, int decimals)
{
    return formatTrimmed(value, decimals);
}

void addNumber(QueryItems &items, const char *key, std::optional<double> value, int decimals)
{
    if (value)
        items.append({QString::fromLatin1(key), queryNumber(*value, decimals)});
}

QUrl withQuery(QUrl url, const QueryItems &items)
{
    QStringList parts;
    if (url.hasQuery())
        parts << url.query(QUrl::FullyEncoded);
    for (const auto &[key, value] : items)
        parts << QString::fromLatin1(QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value));
    url.setQuery(parts.join(QLatin1Char('&')), QUrl::StrictMode);
    return url;
}

}  // namespace nimbrel

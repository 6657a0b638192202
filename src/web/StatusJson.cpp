// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusJson.h"

#include "CurrentConditions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace nimbrel::web {

QByteArray destinationsJson(const std::vector<DestinationStatus> &destinations)
{
    QJsonArray list;
    for (const DestinationStatus &d : destinations)
        list.append(QJsonObject{{QStringLiteral("name"), d.name},
                                {QStringLiteral("state"), destinationStateWord(d.state)},
                                {QStringLiteral("sentence"), d.sentence},
                                {QStringLiteral("delivered"),
                                 d.delivered.isValid() ? QJsonValue(isoWithOffset(d.delivered)) : QJsonValue()}});
    return QJsonDocument(QJsonObject{{QStringLiteral("destinations"), list}}).toJson(QJsonDocument::Compact);
}

}  // namespace nimbrel::web

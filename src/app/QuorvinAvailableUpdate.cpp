#include "app/QuorvinAvailableUpdate.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quorvin {

QByteArray QuorvinAvailableUpdate::encode() const
{
    return QJsonDocument(QJsonObject {{QStringLiteral("build"), build}, {QStringLiteral("version"), version}})
        .toJson(QJsonDocument::Compact);
}

std::optional<QuorvinAvailableUpdate> QuorvinAvailableUpdate::decode(const QByteArray &data)
{
    QJsonParseError error;
    const auto document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const auto build = document.object().value(QStringLiteral("build"));
    const auto version = document.object().value(QStringLiteral("version"));
    if (!build.isString() || !version.isString()) {
        return std::nullopt;
    }
    return QuorvinAvailableUpdate {build.toString(), version.toString()};
}

} // namespace quorvin

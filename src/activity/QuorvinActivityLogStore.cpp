#include "activity/QuorvinActivityLogStore.h"
#include "activity/LogTextBound.h"

#include "activity/Strings.h"
#include "platform/core/JsonByteOrderMarks.h"
#include "platform/defaults/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace quorvin {

namespace {
// Seconds between the Unix epoch and 2001-01-01 00:00:00 UTC, the reference date of the stored times.
constexpr qint64 referenceDateOffsetSeconds = 978307200;

double referenceSeconds(const QDateTime &time)
{
    return double(time.toMSecsSinceEpoch()) / 1000.0 - double(referenceDateOffsetSeconds);
}

QDateTime fromReferenceSeconds(double seconds)
{
    const auto msecs = static_cast<qint64>(std::llround((seconds + double(referenceDateOffsetSeconds)) * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}
} // namespace

QByteArray QuorvinActivityLogStore::encode(const QList<ActivityLogLine> &lines)
{
    QJsonArray array;
    for (const auto &line : lines.mid(0, maxEntries)) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), line.id.toString(QUuid::WithoutBraces).toUpper());
        object.insert(QStringLiteral("createdAt"), referenceSeconds(line.createdAt));
        object.insert(QStringLiteral("category"), line.category);
        object.insert(QStringLiteral("summary"), line.summary);
        object.insert(QStringLiteral("details"), QJsonArray::fromStringList(line.details));
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<ActivityLogLine>> QuorvinActivityLogStore::decode(const QByteArray &data)
{
    QJsonParseError parseError;
    const auto document = QJsonDocument::fromJson(escapeInnerByteOrderMarks(data), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    QList<ActivityLogLine> lines;
    for (const auto &value : document.array()) {
        if (!value.isObject()) {
            return std::nullopt;
        }
        const auto object = value.toObject();
        const auto id = object.value(QStringLiteral("id"));
        const auto createdAt = object.value(QStringLiteral("createdAt"));
        const auto category = object.value(QStringLiteral("category"));
        const auto summary = object.value(QStringLiteral("summary"));
        const auto details = object.value(QStringLiteral("details"));
        if (!id.isString() || !createdAt.isDouble() || !category.isString() || !summary.isString()
            || !details.isArray()) {
            return std::nullopt;
        }
        const QUuid uuid(id.toString());
        if (uuid.isNull()) {
            return std::nullopt;
        }
        QStringList detailTexts;
        for (const auto &detail : details.toArray()) {
            if (!detail.isString()) {
                return std::nullopt;
            }
            detailTexts.append(boundedLogText(detail.toString()));
        }
        lines.append(ActivityLogLine {uuid, fromReferenceSeconds(createdAt.toDouble()), category.toString(),
            boundedLogText(summary.toString()), detailTexts});
    }
    return lines;
}

void QuorvinActivityLogStore::save(UserDefaults &defaults, const QList<ActivityLogLine> &lines)
{
    // Encoded as setBytes() would, by the settings' writer.
    defaults.setEncoded(
        ActivityText::storageKey, [lines] { return QJsonValue(QString::fromLatin1(encode(lines).toBase64())); });
}

QList<ActivityLogLine> QuorvinActivityLogStore::load(UserDefaults &defaults)
{
    const auto data = defaults.bytes(ActivityText::storageKey);
    if (!data) {
        if (defaults.contains(ActivityText::storageKey)) {
            defaults.remove(ActivityText::storageKey);
        }
        return {};
    }
    auto lines = decode(*data);
    if (!lines) {
        defaults.remove(ActivityText::storageKey);
        return {};
    }
    return lines->mid(0, maxEntries);
}

} // namespace quorvin

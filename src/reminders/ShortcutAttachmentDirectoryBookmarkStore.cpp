#include "reminders/ShortcutAttachmentDirectoryBookmarkStore.h"

#include "platform/defaults/UserDefaults.h"
#include "reminders/Strings.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {

QByteArray bookmarkData(const QString &path)
{
    QJsonObject object;
    object.insert(u"path"_s, path);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<QString> bookmarkPath(const QByteArray &data)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonValue path = document.object().value(u"path"_s);
    if (!path.isString() || path.toString().isEmpty() || !QDir::isAbsolutePath(path.toString())) {
        return std::nullopt;
    }
    return path.toString();
}

} // namespace

std::optional<QString> ShortcutAttachmentDirectoryBookmarkStore::resolvedDirectoryURL(UserDefaults &defaults)
{
    const auto data = defaults.bytes(RemindersText::attachmentBookmarkKey);
    if (!data) {
        return std::nullopt;
    }
    const auto path = bookmarkPath(*data);
    if (!path) {
        return std::nullopt;
    }
    const QFileInfo info(*path);
    if (!info.isDir()) {
        return std::nullopt;
    }
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty()) {
        return std::nullopt;
    }
    if (canonical != *path) {
        defaults.setBytes(RemindersText::attachmentBookmarkKey, bookmarkData(canonical));
    }
    return canonical;
}

bool ShortcutAttachmentDirectoryBookmarkStore::storeDirectory(UserDefaults &defaults, const QString &directory)
{
    const QFileInfo info(directory);
    if (!info.isDir()) {
        return false;
    }
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty()) {
        return false;
    }
    defaults.setBytes(RemindersText::attachmentBookmarkKey, bookmarkData(canonical));
    return true;
}

QString ShortcutAttachmentDirectoryBookmarkStore::displayText(UserDefaults &defaults)
{
    return resolvedDirectoryURL(defaults).value_or(RemindersText::attachmentNotAuthorized);
}

} // namespace quorvin

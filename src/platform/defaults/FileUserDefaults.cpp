#include "platform/defaults/FileUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QStandardPaths>

namespace quorvin {

namespace {
constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}

FileUserDefaults::FileUserDefaults(QString filePath, QObject *parent)
    : UserDefaults(parent)
    , m_filePath(std::move(filePath))
{
    replaceAll(readFile());
}

QString FileUserDefaults::standardFilePath()
{
    // Fixed rather than derived from the application's name, so that the app and the
    // quorvin-defaults tool always agree on it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Quorvin/settings.json");
}

void FileUserDefaults::reload()
{
    replaceAll(readFile());
}

void FileUserDefaults::refresh()
{
    const QFileInfo info(m_filePath);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : -1;
    if (modified != m_seenModified || size != m_seenSize) {
        reload();
    }
}

QJsonObject FileUserDefaults::readFile()
{
    m_lastError.clear();
    QFile file(m_filePath);
    if (!file.exists()) {
        rememberFileStamp();
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = file.errorString();
        rememberFileStamp();
        return {};
    }
    const QByteArray data = file.readAll();
    file.close();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error == QJsonParseError::NoError && document.isObject()) {
        rememberFileStamp();
        return document.object();
    }
    m_lastError = parseError.error == QJsonParseError::NoError ? QStringLiteral("settings file is not a JSON object")
                                                               : parseError.errorString();
    const QString aside = m_filePath + QStringLiteral(".corrupt");
    QFile::remove(aside);
    if (!QFile::rename(m_filePath, aside)) {
        m_lastError += QStringLiteral("; could not move it aside");
    }
    rememberFileStamp();
    return {};
}

bool FileUserDefaults::persist(const QJsonObject &values)
{
    const QFileInfo info(m_filePath);
    QDir directory = info.dir();
    if (!directory.exists()) {
        if (!directory.mkpath(QStringLiteral("."))) {
            m_lastError = QStringLiteral("cannot create ") + directory.path();
            return false;
        }
        QFile::setPermissions(directory.path(), ownerOnly | QFileDevice::ExeOwner);
    }
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        m_lastError = file.errorString();
        return false;
    }
    // Restrict the temporary file before the token is written into it; the rename keeps the mode.
    if (!file.setPermissions(ownerOnly)) {
        file.cancelWriting();
        m_lastError = QStringLiteral("cannot restrict the permissions of the settings file");
        return false;
    }
    file.write(QJsonDocument(values).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        m_lastError = file.errorString();
        return false;
    }
    m_lastError.clear();
    rememberFileStamp();
    return true;
}

void FileUserDefaults::rememberFileStamp()
{
    const QFileInfo info(m_filePath);
    m_seenModified = info.exists() ? info.lastModified() : QDateTime();
    m_seenSize = info.exists() ? info.size() : -1;
}

} // namespace quorvin

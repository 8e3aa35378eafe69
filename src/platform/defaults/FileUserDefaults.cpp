#include "platform/defaults/FileUserDefaults.h"

#include "platform/core/JsonByteOrderMarks.h"
#include "platform/files/FileError.h"
#include "platform/files/PrivateDirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStandardPaths>
#include <QTextStream>

#include <cerrno>
#include <unistd.h>

#include <sys/stat.h>

namespace quorvin {

FileUserDefaults::FileUserDefaults(QString filePath, QObject *parent)
    : UserDefaults(parent)
    , m_filePath(std::move(filePath))
{
    replaceAll(readFile(true).value_or(QJsonObject()));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { refresh(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { refresh(); });
    watch();
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
    if (const auto values = readFile(false)) {
        replaceAll(*values);
    }
}

void FileUserDefaults::refresh()
{
    // A replaced file is no longer watched by its old inode.
    watch();
    if (currentStamp() != m_seen) {
        reload();
    }
}

void FileUserDefaults::watch()
{
    const QString directory = QFileInfo(m_filePath).absolutePath();
    if (!m_watcher.directories().contains(directory) && QFileInfo::exists(directory)) {
        m_watcher.addPath(directory);
    }
    if (!m_watcher.files().contains(m_filePath) && QFileInfo::exists(m_filePath)) {
        m_watcher.addPath(m_filePath);
    }
}

FileUserDefaults::FileStamp FileUserDefaults::currentStamp() const
{
    struct stat status { };
    if (::stat(QFile::encodeName(m_filePath).constData(), &status) != 0) {
        return {};
    }
    return FileStamp {true, static_cast<quint64>(status.st_ino),
        static_cast<qint64>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
        static_cast<qint64>(status.st_size)};
}

std::optional<QJsonObject> FileUserDefaults::readFile(bool moveCorruptAside)
{
    m_lastError.clear();
    const FileStamp stamp = currentStamp();
    QFile file(m_filePath);
    if (!stamp.exists) {
        m_seen = stamp;
        return QJsonObject();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = file.errorString();
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    file.close();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(escapeInnerByteOrderMarks(data), &parseError);
    if (parseError.error == QJsonParseError::NoError && document.isObject()) {
        m_seen = stamp;
        return document.object();
    }
    m_lastError = parseError.error == QJsonParseError::NoError ? QStringLiteral("settings file is not a JSON object")
                                                               : parseError.errorString();
    if (!moveCorruptAside) {
        return std::nullopt;
    }
    // Never over an earlier copy: each damage may hold what the one before it did not.
    const QByteArray damaged = QFile::encodeName(m_filePath);
    QString aside;
    bool moved = false;
    for (int n = 1; n < 1000 && aside.isEmpty(); ++n) {
        const QString candidate
            = m_filePath + QStringLiteral(".corrupt") + (n == 1 ? QString() : u'-' + QString::number(n));
        if (::link(damaged.constData(), QFile::encodeName(candidate).constData()) == 0) {
            aside = candidate;
        } else if (errno != EEXIST) {
            // A file system without hard links: a rename to a name that is free.
            if (!QFile::exists(candidate)
                && ::rename(damaged.constData(), QFile::encodeName(candidate).constData()) == 0) {
                aside = candidate;
                moved = true;
            }
            break;
        }
    }
    if (aside.isEmpty() || (!moved && ::unlink(damaged.constData()) != 0)) {
        m_lastError += QStringLiteral("; could not move it aside");
        m_damageNotice = QStringLiteral("Settings file %1 is damaged (%2); starting with empty settings")
                             .arg(m_filePath, m_lastError);
    } else {
        m_damageNotice
            = QStringLiteral("Settings file %1 is damaged (%2); moved aside to %3, starting with empty settings")
                  .arg(m_filePath, m_lastError, aside);
    }
    QTextStream(stderr) << *m_damageNotice << Qt::endl;
    m_seen = currentStamp();
    return QJsonObject();
}

std::optional<QString> FileUserDefaults::persist(const QJsonObject &values)
{
    try {
        makePrivateDirectory(QFileInfo(m_filePath).absolutePath());
        m_writer.write(m_filePath, QJsonDocument(values).toJson(QJsonDocument::Indented), 0600);
    } catch (const FileError &error) {
        m_lastError = error.description();
        return m_lastError;
    }
    m_lastError.clear();
    m_seen = currentStamp();
    watch();
    return std::nullopt;
}

} // namespace quorvin

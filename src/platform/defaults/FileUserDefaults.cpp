#include "platform/defaults/FileUserDefaults.h"

#include "platform/concurrency/BackgroundWork.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Spawn.h"
#include "platform/core/JsonByteOrderMarks.h"
#include "platform/files/FileError.h"
#include "platform/files/PrivateDirectory.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QPointer>
#include <QStandardPaths>
#include <QTextStream>

#include <cerrno>
#include <unistd.h>

#include <sys/stat.h>

namespace quorvin {

// One write: the map as it stood when the write started, the version of the file it was built
// on, and, once done, how it went.
struct FileUserDefaults::WriteJob {
    QString path;
    Values values;
    FileStamp base;
    AtomicFileWriter writer;
    // Set by the writer's thread, read once `done` is set under the mutex.
    WriteOutcome outcome = WriteOutcome::Failed;
    QString failure;
    FileStamp written;
    bool done = false;
    // On the object's thread only.
    bool answered = false;
};

FileUserDefaults::FileUserDefaults(QString filePath, QObject *parent)
    : FileUserDefaults(std::move(filePath), Clock::system(), parent)
{
}

FileUserDefaults::FileUserDefaults(QString filePath, Clock &clock, QObject *parent)
    : UserDefaults(parent)
    , m_filePath(std::move(filePath))
    , m_workClock(clock.runsWorkInPlace() ? &clock : nullptr)
{
    replaceAll(readFile(true).value_or(QJsonObject()));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { refresh(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { refresh(); });
    watch();
}

FileUserDefaults::~FileUserDefaults()
{
    // Nothing changed is left behind at a normal end.
    flush();
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
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
    // The file a running write puts in place is not yet known as ours; its answer looks again,
    // and a write never replaces a file it was not built on.
    if (writeRunning()) {
        return;
    }
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

FileUserDefaults::FileStamp FileUserDefaults::stampOf(const QString &path)
{
    struct stat status { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
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
        m_seen = stamp;
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
        // Left as it is, and written over by the next change as any other version would be; a
        // write waiting on it must not wait for it to be readable.
        m_seen = stamp;
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

void FileUserDefaults::startWrite(const Values &values)
{
    auto job = std::make_shared<WriteJob>();
    job->path = m_filePath;
    job->values = values;
    job->base = m_seen;
    job->writer = m_writer;
    m_running = job;
    if (m_workClock) {
        spawn(runOnClock(std::move(job)));
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { writerLoop(); });
        }
    }
    m_wake.notify_all();
}

void FileUserDefaults::runJob(WriteJob &job)
{
    QJsonObject object;
    for (auto it = job.values.cbegin(); it != job.values.cend(); ++it) {
        object.insert(it.key(), it->toJson());
    }
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    object = QJsonObject();
    try {
        makePrivateDirectory(QFileInfo(job.path).absolutePath());
        const bool replaced = job.writer.write(job.path, bytes, 0600, [&job](int fd) {
            // Someone else wrote the file since it was read: theirs is read and this map written again.
            if (stampOf(job.path) != job.base) {
                return false;
            }
            struct stat status { };
            if (::fstat(fd, &status) == 0) {
                job.written = FileStamp {true, static_cast<quint64>(status.st_ino),
                    static_cast<qint64>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                    static_cast<qint64>(status.st_size)};
            }
            return true;
        });
        job.outcome = replaced ? WriteOutcome::Written : WriteOutcome::Superseded;
    } catch (const FileError &error) {
        job.outcome = WriteOutcome::Failed;
        job.failure = error.description();
    }
}

QCoro::Task<void> FileUserDefaults::runOnClock(std::shared_ptr<WriteJob> job)
{
    QPointer<FileUserDefaults> self(this);
    // A flush may have run the write itself while the clock held it. Built before the await: a
    // lambda temporary inside the await expression does not survive the suspension intact with
    // this compiler.
    std::function<void()> work = [job] {
        if (!job->done) {
            runJob(*job);
            job->done = true;
        }
    };
    co_await m_workClock->runOffMainThread(std::move(work));
    if (self) {
        answer(job);
    }
}

void FileUserDefaults::writerLoop()
{
    lowerCurrentThreadPriority();
    for (;;) {
        std::shared_ptr<WriteJob> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) {
                return;
            }
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        runJob(*job);
        {
            const std::lock_guard lock(m_mutex);
            job->done = true;
        }
        m_wake.notify_all();
        // The destructor joins this thread before the object goes, and a queued call to an object
        // that is gone is dropped with it.
        QMetaObject::invokeMethod(
            this, [this, job] { answer(job); }, Qt::QueuedConnection);
    }
}

void FileUserDefaults::waitForWrite()
{
    const auto job = m_running;
    if (!job) {
        return;
    }
    if (m_workClock) {
        if (!job->done) {
            runJob(*job);
            job->done = true;
        }
    } else {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&job] { return job->done; });
    }
    answer(job);
}

void FileUserDefaults::answer(const std::shared_ptr<WriteJob> &job)
{
    if (std::exchange(job->answered, true)) {
        return;
    }
    // Let go here, not on the writer's thread: a container's last other holder may then change it
    // in place, which is only safe once this thread knows the writer is done reading it.
    job->values = Values();
    if (m_running == job) {
        m_running.reset();
    }
    if (job->outcome == WriteOutcome::Written) {
        m_seen = job->written;
        m_lastError.clear();
        watch();
    } else if (job->outcome == WriteOutcome::Failed) {
        m_lastError = job->failure;
    }
    finishWrite(job->outcome, job->failure);
    // An edit made while the write ran, after it landed, is picked up now.
    refresh();
}

} // namespace quorvin

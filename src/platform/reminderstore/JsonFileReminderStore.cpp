#include "platform/reminderstore/JsonFileReminderStore.h"

#include "platform/files/FileError.h"
#include "platform/files/PrivateDirectory.h"
#include "platform/reminderstore/ReminderStoreJson.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHashFunctions>
#include <QStandardPaths>

#include <functional>
#include <mutex>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin {

namespace {
// Compared only within this process and only against the file's own earlier versions, so a fast
// hash with the length beside it serves; a cryptographic one would cost a large commit dearly.
std::optional<QByteArray> digestOf(const std::optional<QByteArray> &bytes)
{
    if (!bytes) {
        return std::nullopt;
    }
    return QByteArray::number(bytes->size()) + ':'
        + QByteArray::number(quint64(qHashBits(bytes->constData(), size_t(bytes->size()), 0)));
}
} // namespace

JsonFileReminderStore::JsonFileReminderStore(QString filePath, Clock &clock, QObject *parent)
    : InMemoryReminderStore(clock, parent)
    , m_path(QFileInfo(filePath).absoluteFilePath())
    , m_clock(clock)
{
    // The directory must exist to be watched; creating it early also lets the first commit go
    // straight to the file. When it cannot be made, the first commit says why.
    const auto directory = QFileInfo(m_path).absolutePath();
    try {
        makePrivateDirectory(directory);
    } catch (const FileError &) {
    }
    m_watcher.addPath(directory);
    watchFile();
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { fileMayHaveChanged(); });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { fileMayHaveChanged(); });
}

JsonFileReminderStore::~JsonFileReminderStore() = default;

QString JsonFileReminderStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u"/reminders.json"_s;
}

void JsonFileReminderStore::watchFile()
{
    // An atomic replace gives the file a new inode, which ends the old watch.
    if (QFileInfo::exists(m_path) && !m_watcher.files().contains(m_path)) {
        m_watcher.addPath(m_path);
    }
}

std::optional<QByteArray> JsonFileReminderStore::readFile(const QString &path)
{
    QFile file(path);
    if (!file.exists()) {
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw ReminderStoreError(
            ReminderStoreError::Unreadable, u"Reminder database %1 cannot be read: %2"_s.arg(path, file.errorString()));
    }
    return file.readAll();
}

// Pure work on the file alone, so a worker may do it; the store takes the outcome on its own
// thread as if it had read the file then.
struct JsonFileReminderStore::PendingLoad {
    explicit PendingLoad(QString file)
        : path(std::move(file))
    {
    }

    QString path;
    std::once_flag once;
    std::optional<FileStamp> stampBefore;
    std::optional<QByteArray> bytes;
    std::exception_ptr readFailure;
    std::optional<State> decoded;
    std::exception_ptr decodeFailure;

    void runOnce()
    {
        std::call_once(once, [this] {
            stampBefore = stampOf(path);
            try {
                bytes = readFile(path);
            } catch (...) {
                readFailure = std::current_exception();
                return;
            }
            if (!bytes) {
                return;
            }
            try {
                decoded = ReminderStoreJson::decode(*bytes, path);
            } catch (...) {
                decodeFailure = std::current_exception();
            }
        });
    }
};

QCoro::Task<void> JsonFileReminderStore::loadAhead()
{
    if (m_loaded || m_pendingLoad || m_knownBytesBroken || m_fileVanished) {
        co_return;
    }
    auto load = std::make_shared<PendingLoad>(m_path);
    m_pendingLoad = load;
    // Built before the await: a lambda temporary inside the await expression does not survive the
    // suspension intact with this compiler. Nothing of the store is touched after the wait.
    std::function<void()> work = [load] { load->runOnce(); };
    co_await m_clock.runOffMainThread(std::move(work));
}

void JsonFileReminderStore::ensureLoaded()
{
    if (m_loaded) {
        return;
    }
    // Read ahead, or read now. A file changed since it was read ahead is read again: the watch
    // said nothing of the change, as the store had not read anything yet.
    auto load = std::exchange(m_pendingLoad, {});
    if (load) {
        load->runOnce();
    }
    if (!load || currentStamp() != load->stampBefore) {
        load = std::make_shared<PendingLoad>(m_path);
        load->runOnce();
    }
    if (load->readFailure) {
        std::rethrow_exception(load->readFailure);
    }
    const auto &bytes = load->bytes;
    if (!bytes && m_fileVanished) {
        throw ReminderStoreError(ReminderStoreError::Unreadable, u"Reminder database %1 has disappeared"_s.arg(m_path));
    }
    remember(bytes, load->stampBefore);
    m_knownBytesBroken = true;
    if (load->decodeFailure) {
        std::rethrow_exception(load->decodeFailure);
    }
    auto state = load->decoded ? std::move(*load->decoded) : initialState();
    m_knownBytesBroken = false;
    m_fileVanished = false;
    if (m_lastGoodReminders) {
        // Mended before the watch reported it.
        dateAndWriteBack(state, *m_lastGoodReminders);
        m_lastGoodReminders.reset();
    }
    loadState(std::move(state));
    m_loaded = true;
}

Reminder JsonFileReminderStore::saveReminder(Reminder reminder, bool commitNow)
{
    auto saved = InMemoryReminderStore::saveReminder(std::move(reminder), false);
    m_json.prepare(saved);
    if (commitNow) {
        commit();
    }
    return saved;
}

void JsonFileReminderStore::reserveReminders(std::size_t count)
{
    InMemoryReminderStore::reserveReminders(count);
    m_json.reserve(count);
}

void JsonFileReminderStore::persist(const State &state)
{
    writeFile(m_json.encode(state));
}

void JsonFileReminderStore::writeFile(const QByteArray &bytes)
{
    // Someone else wrote the file since we last saw it, and the watch has not told us yet:
    // writing now would silently undo their change. The watch reloads it shortly.
    if (!fileIsKnown()) {
        throw ReminderStoreError(ReminderStoreError::WriteFailed,
            u"Reminder database %1 was changed by someone else; not written"_s.arg(m_path));
    }
    try {
        makePrivateDirectory(QFileInfo(m_path).absolutePath());
        // Reminders are personal data: only the owner may read them.
        m_writer.write(m_path, bytes, 0600);
    } catch (const FileError &error) {
        throw ReminderStoreError(ReminderStoreError::WriteFailed,
            u"Reminder database %1 cannot be written: %2"_s.arg(m_path, error.reason()));
    }
    remember(bytes, std::nullopt);
    m_knownBytesBroken = false;
    watchFile();
}

std::optional<JsonFileReminderStore::FileStamp> JsonFileReminderStore::stampOf(const QString &path)
{
    struct stat status { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return FileStamp {static_cast<quint64>(status.st_ino),
        static_cast<qint64>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
        static_cast<qint64>(status.st_size)};
}

void JsonFileReminderStore::remember(const std::optional<QByteArray> &bytes, std::optional<FileStamp> stampBefore)
{
    m_knownDigest = digestOf(bytes);
    m_knownStamp.reset();
    if (!bytes) {
        return;
    }
    // A stamp that moved while the file was read, or that is not of the size just written, may
    // belong to someone else's version: left unknown, the next look compares the bytes.
    const auto stamp = currentStamp();
    if (stamp && (stampBefore ? *stampBefore == *stamp : stamp->size == bytes->size())) {
        m_knownStamp = stamp;
    }
}

bool JsonFileReminderStore::fileIsKnown(std::optional<QByteArray> *read) const
{
    const auto stamp = currentStamp();
    if (stamp && m_knownStamp && *stamp == *m_knownStamp) {
        return true;
    }
    auto bytes = readFile();
    const bool known = digestOf(bytes) == m_knownDigest;
    if (read) {
        *read = std::move(bytes);
    }
    return known;
}

std::vector<Reminder> JsonFileReminderStore::committedReminders()
{
    if (!m_loaded) {
        return m_lastGoodReminders.value_or(std::vector<Reminder> {});
    }
    try {
        // What is staged is dropped by the replace anyway.
        reset();
        return reminders();
    } catch (const ReminderStoreError &) {
        return {};
    }
}

void JsonFileReminderStore::dateAndWriteBack(State &state, const std::vector<Reminder> &before)
{
    if (before.empty()) {
        return;
    }
    QHash<QString, const Reminder *> previous;
    previous.reserve(qsizetype(before.size()));
    for (const auto &reminder : before) {
        previous.insert(reminder.id, &reminder);
    }
    const auto now = m_clock.now().toUTC();
    bool dated = false;
    for (auto &reminder : state.reminders) {
        const auto *old = previous.value(reminder.id);
        if (!old || reminder.lastModifiedDate != old->lastModifiedDate || reminder.lastModifiedDate == now
            || reminder == *old) {
            continue;
        }
        reminder.lastModifiedDate = now;
        dated = true;
    }
    if (!dated) {
        return;
    }
    try {
        writeFile(m_json.encode(state));
    } catch (const ReminderStoreError &) {
        // The dates stay in memory: the next commit writes them, or a newer outside change that
        // kept us from writing is read and dated in turn.
    }
}

void JsonFileReminderStore::markUnreadable()
{
    if (m_loaded) {
        m_lastGoodReminders = committedReminders();
    }
    m_loaded = false;
    m_knownBytesBroken = true;
    queueChanged();
}

void JsonFileReminderStore::fileMayHaveChanged()
{
    watchFile();
    if (!m_loaded && !m_knownBytesBroken) {
        // Never read yet: the first call reads whatever is there then.
        return;
    }
    std::optional<QByteArray> bytes;
    const auto stampBefore = currentStamp();
    try {
        if (fileIsKnown(&bytes)) {
            // Touched, not changed: its new stamp spares the next look a read.
            if (bytes) {
                remember(bytes, stampBefore);
            }
            return;
        }
    } catch (const ReminderStoreError &) {
        markUnreadable();
        return;
    }
    const bool hadGoodFile = m_knownDigest.has_value() && !m_knownBytesBroken;
    remember(bytes, stampBefore);
    if (!bytes && hadGoodFile) {
        // The file we read is gone. That is no answer rather than an empty database: taken for
        // one, every reminder would count as deleted and the deletions would spread. Every call
        // fails until the file is back; a new store (the next start) takes no file for an empty
        // database.
        m_fileVanished = true;
        markUnreadable();
        return;
    }
    m_fileVanished = false;
    try {
        auto state = bytes ? ReminderStoreJson::decode(*bytes, m_path) : initialState();
        dateAndWriteBack(state, committedReminders());
        m_lastGoodReminders.reset();
        m_knownBytesBroken = false;
        m_loaded = true;
        replaceState(std::move(state));
    } catch (const ReminderStoreError &) {
        // Every call now fails with the reason until the file is mended; the readers learn of
        // it through the signal.
        markUnreadable();
    }
}

} // namespace quorvin

#include "platform/defaults/UserDefaults.h"

#include "platform/concurrency/Wakeup.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <utility>

namespace quorvin {

UserDefaults::UserDefaults(QObject *parent)
    : QObject(parent)
{
}

UserDefaults::Value::Value(QJsonValue json)
    : m_json(std::move(json))
{
}

UserDefaults::Value::Value(std::shared_ptr<const Encoder> encoder)
    : m_encoder(std::move(encoder))
{
}

bool UserDefaults::Value::isRemoval() const
{
    return !m_encoder && (m_json.isNull() || m_json.isUndefined());
}

QJsonValue UserDefaults::Value::toJson() const
{
    return m_encoder ? (*m_encoder)() : m_json;
}

bool UserDefaults::Value::sameAs(const Value &other) const
{
    if (m_encoder || other.m_encoder) {
        return m_encoder == other.m_encoder;
    }
    return m_json == other.m_json;
}

bool UserDefaults::contains(const QString &key) const
{
    return m_values.contains(key);
}

QStringList UserDefaults::keys() const
{
    return m_values.keys();
}

QJsonObject UserDefaults::snapshot() const
{
    QJsonObject object;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        object.insert(it.key(), it->toJson());
    }
    return object;
}

std::optional<QString> UserDefaults::string(const QString &key) const
{
    const QJsonValue value = m_values.value(key).toJson();
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<bool> UserDefaults::boolean(const QString &key) const
{
    const QJsonValue value = m_values.value(key).toJson();
    if (!value.isBool()) {
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<qint64> UserDefaults::integer(const QString &key) const
{
    const QJsonValue value = m_values.value(key).toJson();
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    // Only whole numbers inside the range a double holds exactly count as integers.
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 9007199254740992.0) {
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

std::optional<double> UserDefaults::real(const QString &key) const
{
    const QJsonValue value = m_values.value(key).toJson();
    if (!value.isDouble()) {
        return std::nullopt;
    }
    return value.toDouble();
}

std::optional<QByteArray> UserDefaults::bytes(const QString &key) const
{
    const QJsonValue value = m_values.value(key).toJson();
    if (!value.isString()) {
        return std::nullopt;
    }
    auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    return *decoded;
}

std::optional<QStringList> UserDefaults::stringArray(const QString &key) const
{
    const QJsonValue value = m_values.value(key).toJson();
    if (!value.isArray()) {
        return std::nullopt;
    }
    QStringList result;
    for (const auto &element : value.toArray()) {
        if (!element.isString()) {
            return std::nullopt;
        }
        result.append(element.toString());
    }
    return result;
}

std::optional<UserDefaults::StringMap> UserDefaults::stringMap(const QString &key) const
{
    const QJsonValue value = m_values.value(key).toJson();
    if (!value.isObject()) {
        return std::nullopt;
    }
    StringMap result;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString()) {
            return std::nullopt;
        }
        // The object's keys come in order: placed at the end, each costs no search of the map
        // (tens of thousands of ids at each start).
        result.insert(result.cend(), it.key(), it.value().toString());
    }
    return result;
}

std::optional<QJsonValue> UserDefaults::json(const QString &key) const
{
    const auto found = m_values.constFind(key);
    if (found == m_values.cend()) {
        return std::nullopt;
    }
    return found->toJson();
}

void UserDefaults::setString(const QString &key, const QString &value)
{
    store(key, Value(QJsonValue(value)));
}

void UserDefaults::setBoolean(const QString &key, bool value)
{
    store(key, Value(QJsonValue(value)));
}

void UserDefaults::setInteger(const QString &key, qint64 value)
{
    store(key, Value(QJsonValue(value)));
}

void UserDefaults::setReal(const QString &key, double value)
{
    store(key, Value(QJsonValue(value)));
}

void UserDefaults::setBytes(const QString &key, const QByteArray &value)
{
    store(key, Value(QJsonValue(QString::fromLatin1(value.toBase64()))));
}

void UserDefaults::setStringArray(const QString &key, const QStringList &value)
{
    store(key, Value(QJsonArray::fromStringList(value)));
}

void UserDefaults::setStringMap(const QString &key, const StringMap &value)
{
    QJsonObject object;
    for (auto it = value.begin(); it != value.end(); ++it) {
        object.insert(it.key(), it.value());
    }
    store(key, Value(object));
}

void UserDefaults::setJson(const QString &key, const QJsonValue &value)
{
    store(key, Value(value));
}

void UserDefaults::setEncoded(const QString &key, Value::Encoder encoder)
{
    store(key, Value(std::make_shared<const Value::Encoder>(std::move(encoder))));
}

void UserDefaults::setEncodedStringMap(const QString &key, const QHash<QString, QString> &value)
{
    setEncoded(key, [value] {
        // In key order, so that each insert lands at the end of the object.
        QList<QHash<QString, QString>::const_iterator> entries;
        entries.reserve(value.size());
        for (auto it = value.cbegin(); it != value.cend(); ++it) {
            entries.append(it);
        }
        std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.key() < b.key(); });
        QJsonObject object;
        for (const auto &entry : std::as_const(entries)) {
            object.insert(entry.key(), entry.value());
        }
        return QJsonValue(object);
    });
}

void UserDefaults::setEncodedStringSet(const QString &key, const QSet<QString> &value)
{
    setEncoded(key, [value] {
        QStringList sorted(value.cbegin(), value.cend());
        sorted.sort();
        return QJsonValue(QJsonArray::fromStringList(sorted));
    });
}

void UserDefaults::remove(const QString &key)
{
    store(key, Value());
}

void UserDefaults::store(const QString &key, const Value &value)
{
    refresh();
    const bool removing = value.isRemoval();
    const auto existing = m_values.constFind(key);
    const bool unchanged
        = removing ? existing == m_values.cend() : (existing != m_values.cend() && existing->sameAs(value));
    if (unchanged && !m_writeFailure) {
        return;
    }
    if (!unchanged) {
        if (removing) {
            m_values.remove(key);
        } else {
            m_values.insert(key, value);
        }
        m_unsaved.insert(key, value);
    }
    ++m_changes;
    m_writeWanted = true;
    if (!unchanged) {
        Q_EMIT changed(key);
    }
    pumpWrites();
}

void UserDefaults::requestWrite()
{
    ++m_changes;
    m_writeWanted = true;
    pumpWrites();
}

void UserDefaults::pumpWrites()
{
    // A write that answers at once (in place, in memory) comes back here through finishWrite(),
    // which must not start the next one inside this one.
    if (m_pumping) {
        return;
    }
    m_pumping = true;
    while (m_writeWanted && !m_writeRunning && m_batchDepth == 0) {
        m_writeWanted = false;
        m_writeRunning = true;
        m_changesInWrite = m_changes;
        // The write holds every unsaved change from here on; those made meanwhile wait for the next.
        for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it) {
            m_unsavedInWrite.insert(it.key(), it.value());
        }
        m_unsaved.clear();
        startWrite(m_values);
    }
    m_pumping = false;
}

void UserDefaults::finishWrite(WriteOutcome outcome, const QString &failure)
{
    if (!m_writeRunning) {
        return;
    }
    m_writeRunning = false;
    if (outcome == WriteOutcome::Written) {
        m_unsavedInWrite.clear();
        m_writeFailure.reset();
    } else {
        // Not on disk: the changes the write held are unsaved again, under those made meanwhile.
        for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it) {
            m_unsavedInWrite.insert(it.key(), it.value());
        }
        m_unsaved = std::exchange(m_unsavedInWrite, {});
    }
    if (outcome == WriteOutcome::Superseded) {
        // The other writer's file is read under what is unsaved here, and written again with it.
        refresh();
        m_writeWanted = true;
    } else {
        if (outcome == WriteOutcome::Failed) {
            m_writeFailure = failure;
        }
        const bool saved = outcome == WriteOutcome::Written;
        QList<std::function<void(bool)>> done;
        for (auto it = m_waiters.begin(); it != m_waiters.end();) {
            if (it->change <= m_changesInWrite) {
                done.append(std::move(it->done));
                it = m_waiters.erase(it);
            } else {
                ++it;
            }
        }
        if (outcome == WriteOutcome::Failed) {
            Q_EMIT writeFailed(failure);
        }
        for (const auto &callback : std::as_const(done)) {
            callback(saved);
        }
    }
    pumpWrites();
}

void UserDefaults::endBatch()
{
    if (--m_batchDepth > 0 || !m_writeWanted) {
        return;
    }
    // Another process may have written since the batch's last change.
    refresh();
    pumpWrites();
}

UserDefaults::WriteBatch::WriteBatch(UserDefaults &defaults)
    : m_defaults(&defaults)
{
    ++m_defaults->m_batchDepth;
}

UserDefaults::WriteBatch::WriteBatch(WriteBatch &&other) noexcept
    : m_defaults(std::exchange(other.m_defaults, nullptr))
{
}

UserDefaults::WriteBatch::~WriteBatch()
{
    if (m_defaults) {
        m_defaults->endBatch();
    }
}

bool UserDefaults::retryFailedWrite()
{
    if (!m_writeFailure) {
        return true;
    }
    refresh();
    requestWrite();
    flush();
    return !m_writeFailure;
}

QCoro::Task<void> UserDefaults::written()
{
    if (!m_writeWanted && !m_writeRunning) {
        co_return;
    }
    // Resumed through the loop once the write ends; nothing of this object is touched after the
    // wait.
    const Wakeup wakeup;
    whenWritten([wakeup](bool) { wakeup.fire(); });
    co_await wakeup;
}

void UserDefaults::whenWritten(std::function<void(bool saved)> done)
{
    if (!m_writeWanted && !m_writeRunning) {
        done(!m_writeFailure);
        return;
    }
    m_waiters.append(Waiter {m_changes, std::move(done)});
}

void UserDefaults::flush()
{
    pumpWrites();
    // Each answer starts the write that waited for it, if any, which is waited for in turn.
    while (m_writeRunning) {
        waitForWrite();
    }
}

void UserDefaults::replaceAll(const QJsonObject &read)
{
    Values values;
    for (auto it = read.begin(); it != read.end(); ++it) {
        values.insert(values.cend(), it.key(), Value(it.value()));
    }
    for (const Values *unsaved : {&m_unsavedInWrite, &m_unsaved}) {
        for (auto it = unsaved->cbegin(); it != unsaved->cend(); ++it) {
            if (it->isRemoval()) {
                values.remove(it.key());
            } else {
                values.insert(it.key(), it.value());
            }
        }
    }
    // An encoded value that is on disk is compared by what it encodes to: only a reload meets one.
    const auto same = [](const Value &a, const Value &b) { return a.sameAs(b) || a.toJson() == b.toJson(); };
    QStringList changedKeys;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        const auto found = values.constFind(it.key());
        if (found == values.cend() || !same(*found, it.value())) {
            changedKeys.append(it.key());
        }
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (!m_values.contains(it.key())) {
            changedKeys.append(it.key());
        }
    }
    m_values = values;
    for (const QString &key : changedKeys) {
        Q_EMIT changed(key);
    }
}

} // namespace quorvin

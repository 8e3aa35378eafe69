#include "platform/defaults/UserDefaults.h"

#include <QJsonArray>

#include <cmath>
#include <utility>

namespace quorvin {

UserDefaults::UserDefaults(QObject *parent)
    : QObject(parent)
{
}

bool UserDefaults::contains(const QString &key) const
{
    return m_values.contains(key);
}

QStringList UserDefaults::keys() const
{
    return m_values.keys();
}

std::optional<QString> UserDefaults::string(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<bool> UserDefaults::boolean(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
    if (!value.isBool()) {
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<qint64> UserDefaults::integer(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
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
    const QJsonValue value = m_values.value(key);
    if (!value.isDouble()) {
        return std::nullopt;
    }
    return value.toDouble();
}

std::optional<QByteArray> UserDefaults::bytes(const QString &key) const
{
    const QJsonValue value = m_values.value(key);
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
    const QJsonValue value = m_values.value(key);
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
    const QJsonValue value = m_values.value(key);
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
    if (!m_values.contains(key)) {
        return std::nullopt;
    }
    return m_values.value(key);
}

void UserDefaults::setString(const QString &key, const QString &value)
{
    store(key, QJsonValue(value));
}

void UserDefaults::setBoolean(const QString &key, bool value)
{
    store(key, QJsonValue(value));
}

void UserDefaults::setInteger(const QString &key, qint64 value)
{
    store(key, QJsonValue(value));
}

void UserDefaults::setReal(const QString &key, double value)
{
    store(key, QJsonValue(value));
}

void UserDefaults::setBytes(const QString &key, const QByteArray &value)
{
    store(key, QJsonValue(QString::fromLatin1(value.toBase64())));
}

void UserDefaults::setStringArray(const QString &key, const QStringList &value)
{
    store(key, QJsonArray::fromStringList(value));
}

void UserDefaults::setStringMap(const QString &key, const StringMap &value)
{
    QJsonObject object;
    for (auto it = value.begin(); it != value.end(); ++it) {
        object.insert(it.key(), it.value());
    }
    store(key, object);
}

void UserDefaults::setJson(const QString &key, const QJsonValue &value)
{
    store(key, value);
}

void UserDefaults::remove(const QString &key)
{
    store(key, QJsonValue(QJsonValue::Undefined));
}

void UserDefaults::store(const QString &key, const QJsonValue &value)
{
    refresh();
    const bool removing = value.isNull() || value.isUndefined();
    const bool unchanged
        = removing ? !m_values.contains(key) : (m_values.contains(key) && m_values.value(key) == value);
    if (unchanged && !m_writeFailure) {
        return;
    }
    if (!unchanged) {
        if (removing) {
            m_values.remove(key);
        } else {
            m_values.insert(key, value);
        }
        // QJsonObject cannot hold an undefined value; a removal is kept as a null.
        m_unsaved.insert(key, removing ? QJsonValue(QJsonValue::Null) : value);
    }
    if (m_batchDepth > 0) {
        m_batchNeedsWrite = true;
        if (!unchanged) {
            Q_EMIT changed(key);
        }
        return;
    }
    m_writeFailure = persist(m_values);
    if (!m_writeFailure) {
        m_unsaved = QJsonObject();
    }
    if (!unchanged) {
        Q_EMIT changed(key);
    }
    if (m_writeFailure) {
        Q_EMIT writeFailed(*m_writeFailure);
    }
}

void UserDefaults::write()
{
    m_writeFailure = persist(m_values);
    if (m_writeFailure) {
        Q_EMIT writeFailed(*m_writeFailure);
        return;
    }
    m_unsaved = QJsonObject();
}

void UserDefaults::endBatch()
{
    if (--m_batchDepth > 0 || !std::exchange(m_batchNeedsWrite, false)) {
        return;
    }
    // Another process may have written since the batch's last change.
    refresh();
    write();
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
    write();
    return !m_writeFailure;
}

void UserDefaults::replaceAll(const QJsonObject &read)
{
    QJsonObject values = read;
    for (auto it = m_unsaved.begin(); it != m_unsaved.end(); ++it) {
        if (it.value().isNull()) {
            values.remove(it.key());
        } else {
            values.insert(it.key(), it.value());
        }
    }
    QStringList changedKeys;
    for (auto it = m_values.begin(); it != m_values.end(); ++it) {
        if (!values.contains(it.key()) || values.value(it.key()) != it.value()) {
            changedKeys.append(it.key());
        }
    }
    for (auto it = values.begin(); it != values.end(); ++it) {
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

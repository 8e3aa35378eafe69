#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvin {

// The persisted settings of the application: one flat map of keys to typed values. Every value is
// kept as JSON (bytes as Base64 text), and a getter answers absent both for a missing key and for a
// value of another type, so callers can always tell "never stored" from a stored value.
//
// Setters emit changed(key) synchronously when the stored value differs from the old one. How the
// map is kept is up to the subclass: FileUserDefaults writes it to disk after every change,
// InMemoryUserDefaults keeps it only in memory (tests).
class UserDefaults : public QObject {
    Q_OBJECT
public:
    using StringMap = QMap<QString, QString>;

    ~UserDefaults() override = default;

    bool contains(const QString &key) const;
    QStringList keys() const;

    std::optional<QString> string(const QString &key) const;
    std::optional<bool> boolean(const QString &key) const;
    std::optional<qint64> integer(const QString &key) const;
    std::optional<double> real(const QString &key) const;
    std::optional<QByteArray> bytes(const QString &key) const;
    std::optional<QStringList> stringArray(const QString &key) const;
    std::optional<StringMap> stringMap(const QString &key) const;
    std::optional<QJsonValue> json(const QString &key) const;

    void setString(const QString &key, const QString &value);
    void setBoolean(const QString &key, bool value);
    void setInteger(const QString &key, qint64 value);
    void setReal(const QString &key, double value);
    void setBytes(const QString &key, const QByteArray &value);
    void setStringArray(const QString &key, const QStringList &value);
    void setStringMap(const QString &key, const StringMap &value);
    // A null or undefined value removes the key.
    void setJson(const QString &key, const QJsonValue &value);

    void remove(const QString &key);

    // The whole map, as it would be written.
    const QJsonObject &snapshot() const { return m_values; }

Q_SIGNALS:
    void changed(const QString &key);

protected:
    explicit UserDefaults(QObject *parent = nullptr);

    // Called after every change with the full new map. Returns false when it could not keep it.
    virtual bool persist(const QJsonObject &values) = 0;
    // Called before every change so a subclass can pick up edits made by someone else.
    virtual void refresh() { }

    // Replaces the whole map (loading, reloading) and signals every key whose value changed.
    void replaceAll(const QJsonObject &values);

private:
    void store(const QString &key, const QJsonValue &value);

    QJsonObject m_values;
};

} // namespace quorvin

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
//
// Setters never throw. A write that fails (full disk, read-only directory) keeps the new value in
// memory, where every getter sees it, but it is not on disk and would be lost at the next start.
// The failure is recorded and reported instead: writeFailure() answers its description until a
// later write succeeds, and writeFailed(description) is emitted for every failed write, after
// changed(key). An operation that must not report success with its state unsaved (a sync pass)
// checks writeFailure() once it has written. Every write stores the whole map, so the next change
// retries everything still unsaved, and so does setting an unchanged value while a failure is
// recorded: a caller can repeat its write to learn whether it gets through now.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    using StringMap = QMap<QString, QString>;

    // While one lives, changes are kept and signalled as usual but written once, when the last one
    // ends: several large values changed together cost one rewrite of the whole map, not one each.
    // writeFailure() answers for that write only after it.
    class WriteBatch {
    public:
        explicit WriteBatch(UserDefaults &defaults);
        WriteBatch(const WriteBatch &) = delete;
        WriteBatch &operator=(const WriteBatch &) = delete;
        WriteBatch(WriteBatch &&other) noexcept;
        WriteBatch &operator=(WriteBatch &&) = delete;
        ~WriteBatch();

    private:
        UserDefaults *m_defaults;
    };
    WriteBatch batchWrites() { return WriteBatch(*this); }

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

    // A file of the caller's beside the settings file ("<settings file><suffix>"), for data that
    // must reach the disk more often than the whole map can be rewritten; absent when the
    // settings are kept in memory only.
    virtual std::optional<QString> companionFilePath(const QString &suffix) const
    {
        Q_UNUSED(suffix);
        return std::nullopt;
    }

    // The whole map, as it would be written.
    const QJsonObject &snapshot() const { return m_values; }

    // Why the latest write failed; absent when it succeeded (or nothing was written yet).
    std::optional<QString> writeFailure() const { return m_writeFailure; }
    // Writes the map again when the latest write failed, so a freed disk clears the old reason
    // without waiting for a change. True when nothing is left unwritten.
    bool retryFailedWrite();

Q_SIGNALS:
    void changed(const QString &key);
    // A write failed; the description names the file and the reason.
    void writeFailed(const QString &description);

protected:
    explicit UserDefaults(QObject *parent = nullptr);

    // Called after every change with the full new map. Returns why it could not keep it, or
    // nothing when it did.
    virtual std::optional<QString> persist(const QJsonObject &values) = 0;
    // Called before every change so a subclass can pick up edits made by someone else.
    virtual void refresh() { }

    // Replaces the whole map (loading, reloading) and signals every key whose value changed.
    // Values whose write failed stay over what is read, so a reload does not lose them.
    void replaceAll(const QJsonObject &values);

private:
    void store(const QString &key, const QJsonValue &value);
    void write();
    void endBatch();

    QJsonObject m_values;
    std::optional<QString> m_writeFailure;
    // What was changed since the last write that succeeded; a null value is a removal.
    QJsonObject m_unsaved;
    int m_batchDepth = 0;
    bool m_batchNeedsWrite = false;
};

} // namespace quorvin

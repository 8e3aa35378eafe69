#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <qcoro/qcorotask.h>

namespace quorvin {

// The persisted settings of the application: one flat map of keys to typed values. Every value is
// kept as JSON (bytes as Base64 text), and a getter answers absent both for a missing key and for a
// value of another type, so callers can always tell "never stored" from a stored value.
//
// Setters emit changed(key) synchronously when the stored value differs from the old one, and
// every getter sees the new value at once. How the map is kept is up to the subclass:
// FileUserDefaults writes it to disk after every change, away from the caller's thread,
// InMemoryUserDefaults keeps it only in memory (tests). Writes are never two at a time and land in
// the order of the changes; changes made while one runs are written together by the next.
//
// Setters never throw. A write that fails (full disk, read-only directory) keeps the new value in
// memory, where every getter sees it, but it is not on disk and would be lost at the next start.
// The failure is recorded and reported instead: writeFailure() answers its description until a
// later write succeeds, and writeFailed(description) is emitted for every failed write, after
// changed(key). An operation that must not report success with its state unsaved (a sync pass)
// awaits written() once it has written and then checks writeFailure(). Every write stores the whole
// map, so the next change retries everything still unsaved, and so does setting an unchanged value
// while a failure is recorded: a caller can repeat its write to learn whether it gets through now.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    using StringMap = QMap<QString, QString>;

    // While one lives, changes are kept and signalled as usual but written once, when the last one
    // ends: several large values changed together cost one rewrite of the whole map, not one each.
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

    // One value as the map keeps it: JSON, or a value that is only encoded when the map is written
    // or the key is read (see setEncoded()). A default-made one stands for a removal.
    class Value {
    public:
        using Encoder = std::function<QJsonValue()>;
        Value() = default;
        explicit Value(QJsonValue json);
        explicit Value(std::shared_ptr<const Encoder> encoder);
        bool isRemoval() const;
        QJsonValue toJson() const;
        // Equal without encoding anything: equal JSON, or the very same encoded value.
        bool sameAs(const Value &other) const;

    private:
        QJsonValue m_json;
        std::shared_ptr<const Encoder> m_encoder;
    };
    using Values = QMap<QString, Value>;

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

    // Stores the value `encoder` makes without making it now: it runs when the map is written, on
    // the writer's thread, or when the key is read. A value of tens of thousands of entries so costs
    // the caller what handing over `encoder` costs, not a JSON rebuild on every save; the caller's
    // own container goes along as an implicitly shared copy, which its next change detaches.
    // `encoder` must own what it reads, touch nothing else and always make the same value. Such a
    // value is not compared with the one it replaces: it always counts as a change.
    void setEncoded(const QString &key, Value::Encoder encoder);
    // Stored as a JSON object, as setStringMap() stores it.
    void setEncodedStringMap(const QString &key, const QHash<QString, QString> &value);
    // Stored as a JSON array in sorted order, as setStringArray() stores a sorted list.
    void setEncodedStringSet(const QString &key, const QSet<QString> &value);

    void remove(const QString &key);

    // A file of the caller's beside the settings file ("<settings file><suffix>"), for data that
    // must reach the disk more often than the whole map can be rewritten; absent when the
    // settings are kept in memory only.
    virtual std::optional<QString> companionFilePath(const QString &suffix) const
    {
        Q_UNUSED(suffix);
        return std::nullopt;
    }

    // The whole map, as it would be written (encoded values encoded now).
    QJsonObject snapshot() const;

    // Why the latest finished write failed; absent when it succeeded (or nothing was written yet).
    std::optional<QString> writeFailure() const { return m_writeFailure; }
    // Writes the map again when the latest write failed and waits for the answer, so a freed disk
    // clears the old reason without waiting for a change. True when nothing is left unwritten.
    bool retryFailedWrite();

    // Resumes once every change made before the call is written or its write failed; at once when
    // none is waiting. Check writeFailure() after it.
    QCoro::Task<void> written();
    // Calls `done` once every change made before the call is written (true) or its write failed
    // (false): at once when none is waiting (true when nothing is left unsaved), otherwise on this
    // object's thread when that write ends. Not called when this object is destroyed first.
    void whenWritten(std::function<void(bool saved)> done);
    // Blocks until every change made so far is written or its write failed (tests, the end of the
    // process, a command-line tool).
    void flush();

Q_SIGNALS:
    void changed(const QString &key);
    // A write failed; the description names the file and the reason.
    void writeFailed(const QString &description);

protected:
    explicit UserDefaults(QObject *parent = nullptr);

    // How a write ended. Superseded: someone else replaced the file since this object last read
    // or wrote it, and the write was dropped so as not to lose that edit; refresh() then reads it
    // and the changes are written again over it.
    enum class WriteOutcome { Written, Failed, Superseded };
    // Starts keeping `values`, the whole map. The subclass answers through finishWrite(), at once
    // or later on this object's thread; no other write starts before it has.
    virtual void startWrite(const Values &values) = 0;
    void finishWrite(WriteOutcome outcome, const QString &failure = {});
    // Waits for the write that runs now and answers it through finishWrite() before returning.
    virtual void waitForWrite() { }
    bool writeRunning() const { return m_writeRunning; }

    // Called before every change so a subclass can pick up edits made by someone else.
    virtual void refresh() { }

    // Replaces the whole map (loading, reloading) and signals every key whose value changed.
    // Values not yet written, or whose write failed, stay over what is read, so a reload does not
    // lose them.
    void replaceAll(const QJsonObject &values);

private:
    struct Waiter {
        quint64 change;
        std::function<void(bool)> done;
    };

    void store(const QString &key, const Value &value);
    void requestWrite();
    void pumpWrites();
    void endBatch();

    Values m_values;
    std::optional<QString> m_writeFailure;
    // What was changed since the last write that succeeded, removals as default-made values:
    // changes the running write does not hold yet, and those it holds.
    Values m_unsaved;
    Values m_unsavedInWrite;
    int m_batchDepth = 0;
    // Counts the changes; a write holds those up to the count at its start.
    quint64 m_changes = 0;
    quint64 m_changesInWrite = 0;
    bool m_writeWanted = false;
    bool m_writeRunning = false;
    bool m_pumping = false;
    QList<Waiter> m_waiters;
};

} // namespace quorvin

#pragma once

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace quorvin {

// One local completed reminder proposed for deletion by the completed-reminder cleanup.
struct CompletedReminderCleanupCandidate {
    // The same text as localID.
    QString id;
    // The reminder's identifier, trimmed.
    QString localID;
    // The title of the reminder's list, or empty.
    QString listName;
    QString title;
    std::optional<QString> dueDate;
    std::optional<QString> completionDate;
    QString signature;

    // List name, title, due instant and completion instant joined by U+001F. Texts are compared
    // trimmed and lowercased with CR LF read as LF; instants written with or without fractional
    // seconds give the same part, an unparsable date compares as its trimmed text.
    static QString signatureOf(const std::optional<QString> &listName, const std::optional<QString> &title,
        const std::optional<QString> &dueDate, const std::optional<QString> &completionDate);
    static QString normalizedSignatureInstant(const std::optional<QString> &text);

    friend bool operator==(const CompletedReminderCleanupCandidate &, const CompletedReminderCleanupCandidate &)
        = default;
};

inline size_t qHash(const CompletedReminderCleanupCandidate &c, size_t seed = 0) noexcept
{
    return qHashMulti(seed, c.id, c.localID, c.listName, c.title, c.dueDate.value_or(QString()), c.dueDate.has_value(),
        c.completionDate.value_or(QString()), c.completionDate.has_value(), c.signature);
}

} // namespace quorvin

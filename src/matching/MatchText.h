#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The text and date rules every matching rule shares.
namespace quorvin::MatchText {

// Trimmed of whitespace and newlines at both ends, every carriage-return line-feed pair turned
// into one line feed, lowercased (locale-independent). Absent counts as empty.
QString normalized(const QString &text);
QString normalized(const std::optional<QString> &text);

// normalized(a) == normalized(b), without building either text in the common case.
bool normalizedEqual(const QString &a, const QString &b);
bool normalizedEqual(const std::optional<QString> &a, const std::optional<QString> &b);
// normalized(text) is empty: nothing but whitespace and newlines.
bool normalizedIsEmpty(const QString &text);
bool normalizedIsEmpty(const std::optional<QString> &text);

// Trimmed of whitespace and newlines at both ends, case kept. Absent counts as empty.
QString trimmed(const std::optional<QString> &text);

// The stored text unchanged, absent counting as empty.
inline QString raw(const std::optional<QString> &text)
{
    return text.value_or(QString());
}

// Both absent, or both present and equal.
inline bool priorityEqual(const std::optional<qint64> &a, const std::optional<qint64> &b)
{
    return a == b;
}

// Seconds since 2001-01-01 00:00:00 UTC, the reference the creation order is measured from.
double referenceSeconds(const QDateTime &instant);

// Reminders are dated on the China calendar: Gregorian in "Asia/Shanghai" (the local zone when
// that zone is unknown).
bool isChinaMidnight(const QDateTime &instant);
bool sameChinaDay(const QDateTime &a, const QDateTime &b);

} // namespace quorvin::MatchText

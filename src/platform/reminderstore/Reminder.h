#pragma once

#include "platform/reminderstore/DateComponents.h"
#include "platform/reminderstore/RecurrenceRule.h"
#include "platform/reminderstore/ReminderAlarm.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace quorvin {

// One reminder as the store holds it. A value: reads hand out copies, and a change reaches the
// store only through ReminderStore::saveReminder.
//
// The store owns `id`, `externalId`, `creationDate` and `lastModifiedDate`: an empty `id` marks a
// reminder never saved; the first save assigns the id and both dates (and an external id unless
// the caller gave one), and later saves ignore what a caller puts in these four.
struct Reminder {
    QString id {};
    std::optional<QString> externalId {};
    // The list the reminder belongs to; required at save.
    QString listId {};
    QString title {};
    std::optional<QString> notes {};
    // The URL exactly as written: a parsed URL would come back with its scheme and host
    // lowercased, the host in punycode and its escapes rewritten.
    std::optional<QString> url {};
    std::optional<DateComponents> startDateComponents {};
    std::optional<DateComponents> dueDateComponents {};
    std::optional<QString> timeZone {};
    // 0 none, 1 high ... 9 low.
    int priority = 0;
    bool completed = false;
    // Kept only while completed. A completed reminder saved without one keeps the one it had, or
    // gets the time of the save.
    std::optional<QDateTime> completionDate {};
    // Absent and empty are kept apart.
    std::optional<std::vector<ReminderAlarm>> alarms {};
    std::vector<RecurrenceRule> recurrenceRules {};
    std::optional<QDateTime> creationDate {};
    std::optional<QDateTime> lastModifiedDate {};

    bool operator==(const Reminder &) const = default;

    // Whether a text can be a reminder's URL: it reads as a URL. Only the check parses it; the
    // text itself is kept as it is.
    static bool isUrl(const QString &text)
    {
        const QUrl parsed(text, QUrl::StrictMode);
        return parsed.isValid() && !parsed.isEmpty();
    }
};

} // namespace quorvin

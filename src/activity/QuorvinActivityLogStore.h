#pragma once

#include "activity/ActivityLogLine.h"

#include <QList>

#include <optional>

namespace quorvin {

class UserDefaults;

// The persisted activity log: a JSON array of the entries, newest first, stored as a data value.
// Times are seconds since 2001-01-01 00:00:00 UTC, ids canonical upper-case UUID text, so a stored
// log written by an earlier version reads back unchanged.
class QuorvinActivityLogStore {
public:
    static constexpr int maxEntries = 80;

    static void save(UserDefaults &defaults, const QList<ActivityLogLine> &lines);
    // Missing: empty. Unreadable: the key is removed and the log starts empty.
    static QList<ActivityLogLine> load(UserDefaults &defaults);

    static QByteArray encode(const QList<ActivityLogLine> &lines);
    // Throws nothing; nullopt when any entry is malformed.
    static std::optional<QList<ActivityLogLine>> decode(const QByteArray &data);
};

} // namespace quorvin

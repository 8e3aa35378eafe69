#pragma once

#include <QString>

namespace quorvin {

// One reminder list. The store assigns `id` at the first save; an empty id marks a list that
// was never saved.
struct ReminderList {
    QString id {};
    QString title {};
    // The id of the ReminderSource the list lives in; required at save.
    QString sourceId {};

    bool operator==(const ReminderList &) const = default;
};

} // namespace quorvin

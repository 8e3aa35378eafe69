#pragma once

#include <QString>

namespace quorvin {

// An account that holds reminder lists.
struct ReminderSource {
    enum class Kind { Local, Exchange, CalDAV, MobileMe, Subscribed, Birthdays };

    QString id {};
    QString title {};
    Kind kind = Kind::Local;

    bool operator==(const ReminderSource &) const = default;
};

} // namespace quorvin

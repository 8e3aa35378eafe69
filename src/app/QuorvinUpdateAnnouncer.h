#pragma once

#include "app/QuorvinAvailableUpdate.h"

#include <functional>

namespace quorvin {

// Where the one-time announcement of a new build appears: a sheet on the main window.
class QuorvinUpdateAnnouncer {
public:
    virtual ~QuorvinUpdateAnnouncer() = default;

    // True only while the application is active and the main window is visible, key, not
    // minimized and without another sheet.
    virtual bool canAnnounce() const = 0;

    // Shows the announcement; `updateNow` runs when the user chooses "立即更新".
    virtual void announce(const QuorvinAvailableUpdate &update, std::function<void()> updateNow) = 0;
};

} // namespace quorvin

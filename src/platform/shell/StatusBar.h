#pragma once

#include "platform/shell/StatusItemDescription.h"

#include <memory>

namespace quorvin {

// One item in the desktop's status area. Destroying it takes it out of the area at once; what it
// owns on screen goes later, so an item may be destroyed from inside its own menu's action.
class StatusItem {
public:
    virtual ~StatusItem() = default;

    // False while the desktop gives the item no place to show (no status area in this session
    // yet). The item waits and shows itself when a status area appears.
    virtual bool hasButton() const = 0;
};

// The desktop's status area (the system tray).
class StatusBar {
public:
    virtual ~StatusBar() = default;

    // Always returns an item; one without a button shows nothing until the area appears.
    virtual std::unique_ptr<StatusItem> addItem(StatusItemDescription description) = 0;
};

} // namespace quorvin

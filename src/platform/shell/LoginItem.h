#pragma once

namespace quorvin {

// Where the application stands as a program started at login.
enum class LoginItemStatus {
    // Not set up to start at login.
    NotRegistered,
    // Starts at login.
    Enabled,
    // Set up, but the desktop's own start-up settings have it switched off: the user has to
    // allow it there.
    RequiresApproval,
    // This build cannot be found as a program to start (no installed executable, or the entry
    // names a program that is gone).
    NotFound,
};

// Starting the application at login. Changes throw LoginItemError with a readable description.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    virtual LoginItemStatus status() const = 0;
    virtual void registerItem() = 0;
    virtual void unregisterItem() = 0;
};

} // namespace quorvin

#pragma once

#include "platform/shell/LoginItem.h"
#include "platform/shell/LoginItemError.h"

#include <optional>

namespace quorvin {

// A login item in memory. Registering yields `statusAfterRegister` (Enabled unless a test wants
// the approval case); `failure` makes every change throw it, leaving the status alone.
class FakeLoginItem final : public LoginItem {
public:
    LoginItemStatus currentStatus = LoginItemStatus::NotRegistered;
    LoginItemStatus statusAfterRegister = LoginItemStatus::Enabled;
    std::optional<QString> failure;
    int changeCount = 0;

    LoginItemStatus status() const override { return currentStatus; }
    void registerItem() override
    {
        ++changeCount;
        if (failure) {
            throw LoginItemError(*failure);
        }
        currentStatus = statusAfterRegister;
    }
    void unregisterItem() override
    {
        ++changeCount;
        if (failure) {
            throw LoginItemError(*failure);
        }
        currentStatus = LoginItemStatus::NotRegistered;
    }
};

} // namespace quorvin

#pragma once

#include "platform/shell/DockIconPolicy.h"

namespace quorvin {

class FakeDockIconPolicy final : public DockIconPolicy {
public:
    ActivationPolicy policy = ActivationPolicy::Regular;
    bool refuse = false;
    int changeCount = 0;

    ActivationPolicy activationPolicy() const override { return policy; }
    bool setActivationPolicy(ActivationPolicy wanted) override
    {
        ++changeCount;
        if (refuse) {
            return false;
        }
        policy = wanted;
        return true;
    }
};

} // namespace quorvin

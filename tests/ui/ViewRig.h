#pragma once

#include "app/AppVisibility.h"
#include "app/QuorvinAppContext.h"
#include "app/QuorvinAppearanceController.h"
#include "app/QuorvinUpdateController.h"
#include "platform/concurrency/ManualClock.h"
#include "platform/defaults/InMemoryUserDefaults.h"
#include "platform/reminderstore/InMemoryReminderStore.h"
#include "platform/shell/FakeDockIconPolicy.h"
#include "platform/shell/FakeLoginItem.h"
#include "platform/shell/FakeSystemAppearance.h"
#include "platform/shell/FakeUpdater.h"
#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/InProcessHttpSession.h"
#include "sync/QuorvinMacService.h"

#include <memory>

namespace quorvin::test {

// A main view on a real service and the test cloud, in virtual time, with the desktop faked.
struct ViewRig {
    ManualClock clock;
    CloudServer server {clock};
    InProcessHttpSession http {server, clock};
    InMemoryReminderStore store {clock};
    InMemoryUserDefaults defaults;
    FakeSystemAppearance system {ColorScheme::Light};
    FakeDockIconPolicy dock;
    FakeLoginItem loginItem;
    FakeUpdater updater;
    std::unique_ptr<QuorvinMacService> service;
    std::unique_ptr<QuorvinUpdateController> updates;
    std::unique_ptr<QuorvinAppearanceController> appearance;
    AppVisibility visibility {dock};
    int quits = 0;

    ViewRig()
    {
        defaults.setString(QStringLiteral("Quorvin.CloudBaseURL"), InProcessHttpSession::baseUrl());
        service = std::make_unique<QuorvinMacService>(defaults, http, clock, store);
        updates = std::make_unique<QuorvinUpdateController>(updater, defaults, clock, QStringLiteral("1"));
        appearance = std::make_unique<QuorvinAppearanceController>(defaults, system);
    }
    ~ViewRig()
    {
        service->shutdown();
        ManualClock::drainEvents();
    }

    QuorvinAppContext context()
    {
        return {*service, defaults, *updates, *appearance, visibility, loginItem, [this] { ++quits; }};
    }
    CloudAccount &account() { return service->account(); }
};

} // namespace quorvin::test

#pragma once

#include "platform/shell/Updater.h"

namespace quorvin {

// An update framework in memory: tests count the checks asked for and hand in loaded feeds.
class FakeUpdater final : public Updater {
    Q_OBJECT
public:
    explicit FakeUpdater(QObject *parent = nullptr)
        : Updater(parent)
    {
    }

    bool inProgress = false;
    int backgroundChecks = 0;
    int interactiveChecks = 0;

    bool sessionInProgress() const override { return inProgress; }
    void checkForUpdateInformation() override { ++backgroundChecks; }
    void checkForUpdates() override { ++interactiveChecks; }

    void finishLoading(const Appcast &appcast) { Q_EMIT didFinishLoading(appcast); }
};

} // namespace quorvin

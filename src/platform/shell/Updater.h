#pragma once

#include "platform/shell/Appcast.h"

#include <QObject>

namespace quorvin {

// The update framework: it reads the update feed when asked, never on a schedule of its own,
// and never installs anything in place.
class Updater : public QObject {
    Q_OBJECT
public:
    ~Updater() override = default;

    // True while a check runs.
    virtual bool sessionInProgress() const = 0;

    // A quiet check: a loaded feed is reported through didFinishLoading; a failure changes
    // nothing and is not reported.
    virtual void checkForUpdateInformation() = 0;

    // The check the user asked for: the feed is loaded (and reported through didFinishLoading)
    // and the outcome is shown to the user, an available update with the way to its download.
    virtual void checkForUpdates() = 0;

Q_SIGNALS:
    void didFinishLoading(const quorvin::Appcast &appcast);

protected:
    explicit Updater(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
};

} // namespace quorvin

#pragma once

#include "app/QuorvinAppDelegate.h"

#include <QApplication>
#include <QString>

#include <memory>

namespace quorvin {

class FeedUpdater;
class FileUserDefaults;
class QtHttpSession;
class QuorvinUpdateUserDriver;
class ReminderStore;
class SingleInstanceGuard;

// The application: the desktop application object with everything the process needs for its
// life, built in this order:
//
//     QuorvinApp app(argc, argv, version);       // the application object; nothing is opened yet
//     app.becomePrimaryInstance(dataDirectory);  // the single-instance decision
//     app.makeService();                         // settings, reminder store, sync service
//     app.finishLaunching(content, terminate);   // shell, controllers, main window, sync start
//     return app.exec();
//
// A copy that is not the one copy asks the running one to come forward and goes no further.
// The program keeps running without windows: the status item or a later launch brings the main
// window back.
class QuorvinApp {
public:
    QuorvinApp(int &argc, char **argv, const QString &version);
    ~QuorvinApp();
    QuorvinApp(const QuorvinApp &) = delete;
    QuorvinApp &operator=(const QuorvinApp &) = delete;

    // True when this process is the one copy for `dataDirectory`. Copies on other data (a try-out,
    // a test) are copies of their own. A duplicate asks the running copy to come forward;
    // activatedRunningCopy() says whether it answered.
    bool becomePrimaryInstance(const QString &dataDirectory);
    bool activatedRunningCopy() const { return m_activatedRunningCopy; }

    // Opens the settings and the reminder store and builds the service (which reads its stored
    // state). Call only once the data directory is this copy's.
    QuorvinMacService &makeService();
    QuorvinMacService &service() { return *m_service; }

    // The desktop services, the update checks, the controllers in their order, the start of sync
    // and the main window with `content`. `terminate` ends the application at once.
    void finishLaunching(QuorvinAppDelegate::MainWindowContent content, std::function<void()> terminate);

    int exec();
    // Waits for the settings writes still under way (the settings are written on a thread of
    // their own).
    void flushSettings();

private:
    QApplication m_application;
    QString m_version;
    std::unique_ptr<SingleInstanceGuard> m_guard;
    bool m_activatedRunningCopy = false;

    std::unique_ptr<FileUserDefaults> m_defaults;
    std::unique_ptr<QtHttpSession> m_http;
    std::unique_ptr<ReminderStore> m_store;
    std::unique_ptr<QuorvinMacService> m_service;

    std::unique_ptr<QuorvinUpdateUserDriver> m_updateDriver;
    std::unique_ptr<FeedUpdater> m_updater;
    std::unique_ptr<QuorvinUpdateController> m_updates;
    std::unique_ptr<StatusBar> m_statusBar;
    std::unique_ptr<GlobalHotKeys> m_hotKeys;
    std::unique_ptr<DockIconPolicy> m_dockIconPolicy;
    std::unique_ptr<SystemAppearance> m_systemAppearance;
    std::unique_ptr<LoginItem> m_loginItem;
    std::unique_ptr<QuorvinAppDelegate> m_delegate;
};

} // namespace quorvin

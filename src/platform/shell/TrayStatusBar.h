#pragma once

#include "platform/shell/StatusBar.h"

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

namespace quorvin {

class TrayWatcher;

// A status item as a system tray icon with a context menu. Without a tray it waits, and its icon
// goes into the first tray that appears.
class TrayStatusItem final : public StatusItem {
public:
    TrayStatusItem(StatusItemDescription description, TrayWatcher &watcher);
    ~TrayStatusItem() override;

    bool hasButton() const override { return m_icon != nullptr; }

    // For tests: the menu, alive until the event loop runs after the item's destruction.
    QMenu *menu() const { return m_menu; }

private:
    void showInTray();

    StatusItemDescription m_description;
    QPointer<QSystemTrayIcon> m_icon;
    QPointer<QMenu> m_menu;
    QMetaObject::Connection m_waiting;
};

class TrayStatusBar final : public StatusBar {
public:
    // Watches the session's tray (see TrayWatcher).
    TrayStatusBar();
    explicit TrayStatusBar(std::unique_ptr<TrayWatcher> watcher);
    ~TrayStatusBar() override;

    std::unique_ptr<StatusItem> addItem(StatusItemDescription description) override;

private:
    std::unique_ptr<TrayWatcher> m_watcher;
};

} // namespace quorvin

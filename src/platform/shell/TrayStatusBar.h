#pragma once

#include "platform/shell/StatusBar.h"

#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

namespace quorvin {

// A status item as a system tray icon with a context menu.
class TrayStatusItem final : public StatusItem {
public:
    explicit TrayStatusItem(StatusItemDescription description);
    ~TrayStatusItem() override;

    bool hasButton() const override { return m_hasButton; }

    // For tests: the menu, alive until the event loop runs after the item's destruction.
    QMenu *menu() const { return m_menu; }

private:
    QPointer<QSystemTrayIcon> m_icon;
    QPointer<QMenu> m_menu;
    bool m_hasButton = false;
};

class TrayStatusBar final : public StatusBar {
public:
    std::unique_ptr<StatusItem> addItem(StatusItemDescription description) override;
};

} // namespace quorvin

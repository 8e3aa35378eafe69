#include "platform/shell/TrayStatusBar.h"

#include "platform/shell/TrayWatcher.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace quorvin {

TrayStatusItem::TrayStatusItem(StatusItemDescription description, TrayWatcher &watcher)
    : m_description(std::move(description))
    , m_menu(new QMenu)
{
    for (const auto &entry : m_description.menu) {
        if (entry.isSeparator()) {
            m_menu->addSeparator();
            continue;
        }
        auto *action = m_menu->addAction(entry.title);
        // The entry is copied into the connection: the action may destroy this item.
        QObject::connect(action, &QAction::triggered, action, [run = entry.action] {
            if (run) {
                run();
            }
        });
    }
    // No icon is made before there is a tray to hold it: the toolkit would settle on the kind of
    // tray it found missing, and never use a panel that comes later.
    if (watcher.isTrayAvailable()) {
        showInTray();
    } else {
        m_waiting = QObject::connect(&watcher, &TrayWatcher::trayAppeared, m_menu, [this] {
            QObject::disconnect(m_waiting);
            showInTray();
        });
    }
}

TrayStatusItem::~TrayStatusItem()
{
    QObject::disconnect(m_waiting);
    // The icon leaves the tray now; the objects go when control is back in the event loop, since
    // this may run inside the action of the very menu being torn down.
    if (m_icon) {
        m_icon->hide();
        m_icon->deleteLater();
    }
    if (m_menu) {
        m_menu->deleteLater();
    }
}

void TrayStatusItem::showInTray()
{
    m_icon = new QSystemTrayIcon(m_description.icon);
    m_icon->setContextMenu(m_menu);
    m_icon->setToolTip(m_description.toolTip);
    if (m_description.activated) {
        QObject::connect(m_icon, &QSystemTrayIcon::activated, m_icon,
            [run = m_description.activated](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    run();
                }
            });
    }
    m_icon->show();
}

TrayStatusBar::TrayStatusBar()
    : TrayStatusBar(std::make_unique<TrayWatcher>())
{
}

TrayStatusBar::TrayStatusBar(std::unique_ptr<TrayWatcher> watcher)
    : m_watcher(std::move(watcher))
{
}

TrayStatusBar::~TrayStatusBar() = default;

std::unique_ptr<StatusItem> TrayStatusBar::addItem(StatusItemDescription description)
{
    return std::make_unique<TrayStatusItem>(std::move(description), *m_watcher);
}

} // namespace quorvin

#include "platform/shell/TrayStatusBar.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace quorvin {

TrayStatusItem::TrayStatusItem(StatusItemDescription description)
    : m_icon(new QSystemTrayIcon(description.icon))
    , m_menu(new QMenu)
{
    for (const auto &entry : description.menu) {
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
    m_icon->setContextMenu(m_menu);
    m_icon->setToolTip(description.toolTip);
    if (description.activated) {
        QObject::connect(m_icon, &QSystemTrayIcon::activated, m_icon,
            [run = description.activated](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    run();
                }
            });
    }
    m_hasButton = QSystemTrayIcon::isSystemTrayAvailable();
    if (m_hasButton) {
        m_icon->show();
    }
}

TrayStatusItem::~TrayStatusItem()
{
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

std::unique_ptr<StatusItem> TrayStatusBar::addItem(StatusItemDescription description)
{
    return std::make_unique<TrayStatusItem>(std::move(description));
}

} // namespace quorvin

#include "app/QuorvinStatusBarController.h"

#include "app/QuorvinQuitController.h"
#include "app/Strings.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/shell/StatusBar.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace quorvin {

QuorvinStatusBarController::QuorvinStatusBarController(
    StatusBar &statusBar, UserDefaults &defaults, Actions actions, QObject *parent)
    : QObject(parent)
    , m_statusBar(statusBar)
    , m_defaults(defaults)
    , m_actions(std::move(actions))
{
    if (!m_actions.confirmQuit) {
        m_actions.confirmQuit = [] { return QuorvinQuitController::confirmQuit(); };
    }
    if (!m_actions.terminate) {
        m_actions.terminate = [] { QCoreApplication::quit(); };
    }
    connect(&m_defaults, &UserDefaults::changed, this, [this](const QString &key) {
        if (key == AppText::showMenuBarIconKey) {
            synchronizeVisibility();
        }
    });
    synchronizeVisibility();
}

QuorvinStatusBarController::~QuorvinStatusBarController() = default;

bool QuorvinStatusBarController::hiddenBySetting() const
{
    // A value of another type than Bool reads as absent, which shows the item.
    return m_defaults.boolean(AppText::showMenuBarIconKey) == false;
}

void QuorvinStatusBarController::removeStatusItem()
{
    m_statusItem.reset();
}

void QuorvinStatusBarController::synchronizeVisibility()
{
    if (hiddenBySetting()) {
        removeStatusItem();
    } else {
        installStatusItemIfNeeded();
    }
}

void QuorvinStatusBarController::restoreMenuBarItemIfNeeded()
{
    removeStatusItem();
    if (!hiddenBySetting()) {
        installStatusItemIfNeeded();
    }
}

void QuorvinStatusBarController::installStatusItemIfNeeded()
{
    if (m_statusItem || m_isInstallingStatusItem) {
        return;
    }
    m_isInstallingStatusItem = true;
    StatusItemDescription description;
    description.icon = makeMenuBarIcon();
    description.toolTip = AppText::appName;
    description.menu = makeStatusMenu();
    description.activated = [this] {
        if (m_actions.openMainWindow) {
            m_actions.openMainWindow();
        }
    };
    // Kept even while the session has no status area: it shows itself when one appears (a panel
    // started after the application).
    m_statusItem = m_statusBar.addItem(std::move(description));
    m_isInstallingStatusItem = false;
}

QList<StatusMenuEntry> QuorvinStatusBarController::makeStatusMenu()
{
    return {
        {AppText::menuOpen,
            [this] {
                if (m_actions.openMainWindow) {
                    m_actions.openMainWindow();
                }
            }},
        {AppText::menuCheckForUpdates,
            [this] {
                if (m_actions.checkForUpdates) {
                    m_actions.checkForUpdates();
                }
            }},
        {QString(), {}},
        {AppText::menuQuit, [this] { quitQuorvin(); }},
    };
}

void QuorvinStatusBarController::quitQuorvin()
{
    if (m_actions.confirmQuit()) {
        m_actions.terminate();
    }
}

QIcon QuorvinStatusBarController::makeMenuBarIcon()
{
    const QString asset = QStringLiteral(":/quorvin/MenuBarIcon.png");
    if (QFile::exists(asset)) {
        return QIcon(asset);
    }
    // A checklist: two ticked rows, drawn in the text colour so it reads on the panel.
    QPixmap pixmap(32, 32);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = qGuiApp ? QGuiApplication::palette().color(QPalette::WindowText) : QColor(Qt::black);
    painter.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const qreal top : {3.0, 9.5}) {
        QPainterPath tick;
        tick.moveTo(1.5, top + 2.0);
        tick.lineTo(3.2, top + 3.7);
        tick.lineTo(6.0, top + 0.6);
        painter.drawPath(tick);
        painter.drawLine(QPointF(8.5, top + 2.2), QPointF(14.5, top + 2.2));
    }
    painter.end();
    return QIcon(pixmap);
}

} // namespace quorvin

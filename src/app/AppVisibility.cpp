#include "app/AppVisibility.h"

#include "platform/shell/DockIconPolicy.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace quorvin {

void AppVisibility::apply(bool showDockIcon, bool preserveFocus)
{
    const auto wanted = showDockIcon ? ActivationPolicy::Regular : ActivationPolicy::Accessory;
    if (m_policy.activationPolicy() == wanted) {
        return;
    }
    QPointer<QWidget> keyWindow;
    if (preserveFocus && qobject_cast<QApplication *>(QCoreApplication::instance())
        && QGuiApplication::applicationState() == Qt::ApplicationActive) {
        keyWindow = QApplication::activeWindow();
    }
    if (!m_policy.setActivationPolicy(wanted)) {
        return;
    }
    // Dialogs and tool windows come and go with their owner; only a real window is brought back.
    if (keyWindow && keyWindow->isVisible() && keyWindow->windowType() == Qt::Window) {
        keyWindow->raise();
        if (QApplication::activeWindow() != keyWindow) {
            keyWindow->activateWindow();
        }
    }
}

void AppVisibility::applyAfterLaunch(bool showDockIcon, QObject *context)
{
    QTimer::singleShot(0, context, [this, showDockIcon] { apply(showDockIcon, false); });
}

} // namespace quorvin

#include "app/QuorvinWindowController.h"

#include "app/Strings.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace quorvin {

namespace {

const QString dragFilterName = QStringLiteral("quorvinBackgroundDrag");

// Lets the borderless card be dragged by any part that does not take the press itself.
class BackgroundDrag final : public QObject {
public:
    explicit BackgroundDrag(QWidget *window)
        : QObject(window)
    {
        setObjectName(dragFilterName);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            auto *window = static_cast<QWidget *>(watched)->windowHandle();
            if (window && window->startSystemMove()) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

QuorvinWindowStateMetrics QuorvinWindowController::metrics(bool isAuthenticated)
{
    if (isAuthenticated) {
        return {QSize(880, 618), QSize(880, 618), QSize(10000, 618), true};
    }
    return {QSize(640, 360), QSize(640, 360), QSize(640, 360), false};
}

std::optional<QRect> QuorvinWindowController::targetFrame(
    const QRect &currentFrame, const QMargins &frameMargins, QSize contentSize, std::optional<QRect> visibleArea)
{
    const QSize size = contentSize.grownBy(frameMargins);
    if (std::abs(size.width() - currentFrame.width()) <= 1 && std::abs(size.height() - currentFrame.height()) <= 1) {
        return std::nullopt;
    }
    int x = currentFrame.x() + (currentFrame.width() - size.width()) / 2;
    int y = currentFrame.y() + (currentFrame.height() - size.height()) / 2;
    if (visibleArea) {
        const QRect &area = *visibleArea;
        x = std::max(std::min(x, area.x() + area.width() - size.width()), area.x());
        y = std::max(std::min(y, area.y() + area.height() - size.height()), area.y());
    }
    return QRect(QPoint(x, y), size);
}

void QuorvinWindowController::apply(bool isAuthenticated, QWidget *window)
{
    const auto state = metrics(isAuthenticated);
    const bool wasVisible = window->isVisible();

    // Measured before the new size limits resize the window from its corner.
    const QRect frame = window->frameGeometry();
    const QRect content = window->geometry();
    const QMargins margins(content.left() - frame.left(), content.top() - frame.top(), frame.right() - content.right(),
        frame.bottom() - content.bottom());
    std::optional<QRect> area;
    if (auto *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    const auto target = targetFrame(frame, margins, state.contentSize, area);

    window->setMinimumSize(state.contentMinimum);
    window->setMaximumSize(state.contentMaximum);

    const Qt::WindowFlags flags
        = state.framed ? Qt::WindowFlags(Qt::Window) : Qt::WindowFlags(Qt::Window | Qt::FramelessWindowHint);
    if (window->windowFlags() != flags) {
        // Changing the flags recreates the native window and hides it.
        window->setWindowFlags(flags);
    }
    window->setAttribute(Qt::WA_TranslucentBackground, !state.framed);
    window->setWindowTitle(state.framed ? AppText::appName : QString());

    auto *drag = window->findChild<QObject *>(dragFilterName, Qt::FindDirectChildrenOnly);
    if (!state.framed && !drag) {
        new BackgroundDrag(window);
    } else if (state.framed && drag) {
        delete drag;
    }

    if (target) {
        window->resize(state.contentSize);
        window->move(target->topLeft());
    }
    if (wasVisible && !window->isVisible()) {
        window->show();
    }
}

} // namespace quorvin

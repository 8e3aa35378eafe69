#include "app/QuorvinWindowController.h"

#include "app/Strings.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace quorvin {

namespace {

const QString dragFilterName = QStringLiteral("quorvinBackgroundDrag");
const QString frameClampName = QStringLiteral("quorvinFrameClamp");
constexpr int frameClampLifetimeMs = 3000;
constexpr int frameClampPollMs = 50;

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

// Pulls a window's frame onto its screen once the window manager has framed it, which it does
// only some time after the window was shown with its new decoration and which no event reliably
// tells: the frame is looked at every few milliseconds until it is known. Gives up after a few
// seconds, so a window the user moves later is never moved back.
class FrameClamp final : public QObject {
public:
    explicit FrameClamp(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        setObjectName(frameClampName);
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &FrameClamp::check);
        poll->start(frameClampPollMs);
        QTimer::singleShot(frameClampLifetimeMs, this, &QObject::deleteLater);
    }

private:
    void check()
    {
        const QRect frame = m_window->frameGeometry();
        QScreen *screen = m_window->screen();
        // Until the window is on screen with its frame, the geometry is the one of a window being
        // made, not where it will be.
        const QWindow *native = m_window->windowHandle();
        if (frame.size() == m_window->size() || !screen || !native || !native->isExposed()) {
            return;
        }
        deleteLater();
        const QRect clamped = QuorvinWindowController::clampedFrame(frame, screen->availableGeometry());
        if (clamped != frame) {
            m_window->move(clamped.topLeft());
        }
    }

    QWidget *m_window;
};

} // namespace

QuorvinWindowStateMetrics QuorvinWindowController::metrics(bool isAuthenticated)
{
    if (isAuthenticated) {
        const int height = toolbarHeight + pageHeight;
        return {QSize(880, height), QSize(880, height), QSize(10000, height), true};
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
    const QRect centred(QPoint(x, y), size);
    return visibleArea ? clampedFrame(centred, *visibleArea) : centred;
}

QRect QuorvinWindowController::clampedFrame(const QRect &frame, const QRect &area)
{
    const int x = std::max(std::min(frame.x(), area.x() + area.width() - frame.width()), area.x());
    const int y = std::max(std::min(frame.y(), area.y() + area.height() - frame.height()), area.y());
    return QRect(QPoint(x, y), frame.size());
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
        if (state.framed && area) {
            delete window->findChild<QObject *>(frameClampName, Qt::FindDirectChildrenOnly);
            new FrameClamp(window);
        }
    }
    if (wasVisible && !window->isVisible()) {
        window->show();
    }
}

} // namespace quorvin

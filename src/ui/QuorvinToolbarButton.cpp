#include "ui/QuorvinToolbarButton.h"

#include "ui/QuorvinMacTheme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace quorvin {

namespace {

constexpr int buttonHeight = 28;
constexpr int symbolSize = 15;
constexpr int padding = 7;
constexpr int spacing = 5;

} // namespace

QuorvinToolbarButton::QuorvinToolbarButton(QuorvinSymbol symbol, const QString &title, bool showsTitle, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_showsTitle(showsTitle)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setTitle(title);
}

void QuorvinToolbarButton::setTitle(const QString &title)
{
    if (title == text()) {
        return;
    }
    setText(title);
    setToolTip(title);
    setAccessibleName(title);
    updateGeometry();
    update();
}

QFont QuorvinToolbarButton::titleFont() const
{
    QFont title = font();
    title.setPixelSize(13);
    title.setWeight(QFont::Medium);
    return title;
}

QSize QuorvinToolbarButton::sizeHint() const
{
    if (!m_showsTitle) {
        return QSize(buttonHeight, buttonHeight);
    }
    return QSize(
        2 * padding + symbolSize + spacing + QFontMetrics(titleFont()).horizontalAdvance(text()), buttonHeight);
}

void QuorvinToolbarButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void QuorvinToolbarButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void QuorvinToolbarButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.48);
    if (isEnabled() && (m_hovered || isDown() || hasFocus())) {
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
        painter.fillPath(capsule, QuorvinMacTheme::surfaceSubtle.resolve());
    }
    const QColor ink = QuorvinMacTheme::secondaryText.resolve();
    const int left = m_showsTitle ? padding : (width() - symbolSize) / 2;
    QuorvinSymbols::paint(
        painter, m_symbol, QRectF(left, (height() - symbolSize) / 2.0, symbolSize, symbolSize), ink, 1.2);
    if (m_showsTitle) {
        painter.setFont(titleFont());
        painter.setPen(QuorvinMacTheme::primaryText.resolve());
        painter.drawText(QRect(left + symbolSize + spacing, 0, width() - left - symbolSize - spacing, height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }
}

} // namespace quorvin

#include "ui/AccountEditorOverlay.h"

#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinShapes.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace quorvin {

namespace {

class OverlayCard final : public QWidget {
public:
    OverlayCard(qreal radius, QWidget *parent)
        : QWidget(parent)
        , m_radius(radius)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QuorvinShapes::paintRoundedPanel(painter, QRectF(rect()), m_radius, QuorvinMacTheme::cardBackground.resolve(),
            QuorvinMacTheme::cardBorder.resolve());
    }

private:
    qreal m_radius;
};

} // namespace

AccountEditorOverlay::AccountEditorOverlay(
    qreal backdropOpacity, int cardWidth, int padding, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_backdropOpacity(backdropOpacity)
    , m_card(new OverlayCard(radius, this))
    , m_content(new QVBoxLayout(m_card))
{
    auto *centre = new QGridLayout(this);
    centre->setContentsMargins(18, 18, 18, 18);
    centre->addWidget(m_card, 0, 0, Qt::AlignCenter);
    m_card->setFixedWidth(cardWidth + 2 * padding);
    m_content->setContentsMargins(padding, padding, padding, padding);
    m_content->setSpacing(12);
    auto *shadow = new QGraphicsDropShadowEffect(m_card);
    shadow->setColor(QColor(0, 0, 0, 31));
    shadow->setBlurRadius(18);
    shadow->setOffset(0, 8);
    m_card->setGraphicsEffect(shadow);
}

void AccountEditorOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, qRound(255 * m_backdropOpacity)));
}

bool AccountEditorOverlay::event(QEvent *event)
{
    // The backdrop takes the clicks meant for the sheet below and does nothing with them.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}

} // namespace quorvin

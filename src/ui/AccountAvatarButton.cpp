#include "ui/AccountAvatarButton.h"

#include "ui/AccountAvatarImageLoader.h"
#include "ui/QuorvinMacTheme.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvin {

namespace {

constexpr int toolbarDiameter = 28;
constexpr int sheetDiameter = 58;
constexpr int badgeDiameter = 20;

// A head over shoulders in a circle, the stand-in while a picture is not there.
void paintPersonSymbol(QPainter &painter, const QRectF &circle, const QColor &color)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(circle);
    QPainterPath person;
    const qreal unit = circle.width() / 10;
    person.addEllipse(QPointF(circle.center().x(), circle.top() + unit * 3.8), unit * 1.8, unit * 1.8);
    person.addEllipse(QPointF(circle.center().x(), circle.top() + unit * 9.4), unit * 3.6, unit * 3.0);
    QPainterPath clip;
    clip.addEllipse(circle.adjusted(1, 1, -1, -1));
    painter.setBrush(Qt::white);
    painter.drawPath(person.intersected(clip));
}

// A camera body with its lens, or two arrows chasing each other while a change is being saved.
void paintBadgeSymbol(QPainter &painter, const QRectF &box, bool saving)
{
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (saving) {
        painter.setBrush(Qt::NoBrush);
        const QRectF ring = box.adjusted(5, 5, -5, -5);
        painter.drawArc(ring, 30 * 16, 150 * 16);
        painter.drawArc(ring, 210 * 16, 150 * 16);
        return;
    }
    painter.setBrush(Qt::white);
    const QRectF body = box.adjusted(5, 7, -5, -6);
    painter.drawRoundedRect(body, 1.5, 1.5);
    painter.setBrush(QuorvinMacTheme::accentBlue.resolve(ColorScheme::Light));
    painter.drawEllipse(body.center(), 1.8, 1.8);
}

} // namespace

AccountAvatarButton::AccountAvatarButton(Look look, QWidget *parent)
    : QAbstractButton(parent)
    , m_look(look)
{
    const int diameter = look == Look::Toolbar ? toolbarDiameter : sheetDiameter;
    setFixedSize(diameter, diameter);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void AccountAvatarButton::setLoader(AccountAvatarImageLoader *loader)
{
    if (m_loader) {
        disconnect(m_loader, nullptr, this, nullptr);
    }
    m_loader = loader;
    if (loader) {
        connect(loader, &AccountAvatarImageLoader::changed, this, qOverload<>(&QWidget::update));
    }
    update();
}

void AccountAvatarButton::setInitial(const QString &initial)
{
    if (m_initial != initial) {
        m_initial = initial;
        update();
    }
}

void AccountAvatarButton::setSaving(bool saving)
{
    if (m_saving != saving) {
        m_saving = saving;
        update();
    }
}

QString AccountAvatarButton::shownContent() const
{
    const auto phase = m_loader ? m_loader->phase() : AccountAvatarImageLoader::Phase::Empty;
    if (phase == AccountAvatarImageLoader::Phase::Success) {
        return QStringLiteral("image");
    }
    if (m_look == Look::Toolbar && phase != AccountAvatarImageLoader::Phase::Empty) {
        return QStringLiteral("placeholder");
    }
    return QStringLiteral("initial");
}

QSize AccountAvatarButton::sizeHint() const
{
    return size();
}

void AccountAvatarButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? (isDown() ? 0.78 : 1.0) : 0.48);
    const QRectF circle(0, 0, width(), height());
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.setPen(Qt::NoPen);
    painter.setBrush((m_look == Look::Toolbar ? QuorvinMacTheme::surfaceSubtle : QuorvinMacTheme::softBlue).resolve());
    painter.drawEllipse(circle);

    const QString content = shownContent();
    if (content == QStringLiteral("image")) {
        const QImage &image = m_loader->image();
        // Fills the circle keeping its proportions; what falls outside is clipped away.
        const QSizeF scaled = QSizeF(image.size()).scaled(circle.size(), Qt::KeepAspectRatioByExpanding);
        const QRectF target(circle.center() - QPointF(scaled.width() / 2, scaled.height() / 2), scaled);
        painter.save();
        painter.setClipPath(clip);
        painter.drawImage(target, image);
        painter.restore();
    } else if (content == QStringLiteral("placeholder")) {
        const qreal inset = width() * 0.11;
        paintPersonSymbol(
            painter, circle.adjusted(inset, inset, -inset, -inset), QuorvinMacTheme::systemGray.resolve());
    } else {
        QFont initialFont = font();
        initialFont.setPixelSize(m_look == Look::Toolbar ? 13 : 24);
        initialFont.setWeight(QFont::Bold);
        painter.setFont(initialFont);
        painter.setPen(QuorvinMacTheme::accentBlue.resolve());
        painter.drawText(circle, Qt::AlignCenter, m_initial);
    }

    if (m_look == Look::Sheet) {
        const QRectF badge(width() - badgeDiameter, height() - badgeDiameter, badgeDiameter, badgeDiameter);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QuorvinMacTheme::cardBackground.resolve());
        painter.drawEllipse(badge);
        painter.setBrush(QuorvinMacTheme::accentBlue.resolve());
        painter.drawEllipse(badge.adjusted(2, 2, -2, -2));
        paintBadgeSymbol(painter, badge, m_saving);
    }
}

} // namespace quorvin

#include "ui/ActivityLogRowView.h"

#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinShapes.h"
#include "ui/QuorvinTextStyle.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvin {

namespace {

// The category in its coloured capsule.
class CategoryBadge final : public QWidget {
public:
    CategoryBadge(const ActivityCategoryBadge &badge, QWidget *parent)
        : QWidget(parent)
        , m_badge(badge)
    {
        QFont label = font();
        label.setPixelSize(QuorvinTextStyle::caption2);
        label.setWeight(QFont::DemiBold);
        setFont(label);
        setFixedSize(fontMetrics().horizontalAdvance(m_badge.title) + 12, 19);
        setObjectName(QStringLiteral("activityBadge"));
        setAccessibleName(m_badge.title);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
        painter.fillPath(capsule, m_badge.background.resolve());
        painter.setPen(m_badge.foreground.resolve());
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_badge.title);
    }

private:
    ActivityCategoryBadge m_badge;
};

QuorvinLabel *wrapped(QuorvinLabel *label)
{
    label->setWordWrap(true);
    // Never cut vertically: as tall as the text needs at the width it gets.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
    return label;
}

} // namespace

ActivityLogRowView::ActivityLogRowView(ActivityLogRowModel model, QWidget *parent)
    : QFrame(parent)
    , m_model(std::move(model))
{
    setObjectName(QStringLiteral("activityRow"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(5);

    auto *header = new QHBoxLayout();
    header->setSpacing(7);
    header->addWidget(new CategoryBadge(m_model.category(), this));
    m_time = new QuorvinLabel(
        m_model.relativeTime(), QuorvinTextStyle::caption2, QFont::Normal, QuorvinMacTheme::secondaryText, this);
    m_time->setObjectName(QStringLiteral("activityTime"));
    header->addWidget(m_time);
    header->addStretch(1);
    column->addLayout(header);

    auto *summary = wrapped(new QuorvinLabel(m_model.summary(), 13, QFont::Medium, QuorvinMacTheme::primaryText, this));
    summary->setObjectName(QStringLiteral("activitySummary"));
    column->addWidget(summary);

    if (!m_model.details().isEmpty()) {
        auto *details = new QVBoxLayout();
        details->setSpacing(3);
        for (const QString &text : m_model.details()) {
            auto *detail = wrapped(new QuorvinLabel(text, 11, QFont::Normal, QuorvinMacTheme::secondaryText, this));
            detail->setObjectName(QStringLiteral("activityDetail"));
            details->addWidget(detail);
        }
        column->addLayout(details);
    }
}

void ActivityLogRowView::refreshRelativeTime(const QDateTime &now)
{
    m_model.refreshRelativeTime(now);
    m_time->setTextIfChanged(m_model.relativeTime());
}

void ActivityLogRowView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QuorvinShapes::paintRoundedPanel(
        painter, QRectF(rect()), 12, QuorvinMacTheme::cardBackground.resolve(), QuorvinMacTheme::cardBorder.resolve());
}

} // namespace quorvin

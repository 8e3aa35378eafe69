#include "ui/QuorvinMetricTile.h"

#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSymbolView.h"
#include "ui/QuorvinTextStyle.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvin {

namespace {

constexpr int padding = 8;
constexpr int symbolSize = 12;
constexpr int symbolSpacing = 5;

} // namespace

QuorvinMetricTile::QuorvinMetricTile(const QString &title, QuorvinSymbol symbol, QWidget *parent)
    : QWidget(parent)
{
    setMinimumHeight(minimumHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(6);
    auto *heading = new QHBoxLayout();
    heading->setSpacing(symbolSpacing);
    heading->addWidget(new QuorvinSymbolView(symbol, symbolSize, QuorvinMacTheme::accentBlue, 1.3, this));
    m_title = new QuorvinLabel(title, QuorvinTextStyle::caption, QFont::Normal, QuorvinMacTheme::secondaryText, this);
    heading->addWidget(m_title, 1);
    column->addLayout(heading);
    m_value = new QuorvinLabel(QString(), 13, QFont::DemiBold, QuorvinMacTheme::primaryText, this);
    m_value->setObjectName(QStringLiteral("metricValue"));
    m_value->setWordWrap(true);
    m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Two lines at most.
    m_value->setMaximumHeight(2 * QFontMetrics(m_value->font()).lineSpacing());
    column->addWidget(m_value);
    column->addStretch(1);
}

bool QuorvinMetricTile::setValue(const QString &value)
{
    if (m_value->text() == value) {
        return false;
    }
    m_value->setText(value);
    return true;
}

QString QuorvinMetricTile::value() const
{
    return m_value->text();
}

int QuorvinMetricTile::idealWidth() const
{
    const int titleWidth
        = symbolSize + symbolSpacing + QFontMetrics(m_title->font()).horizontalAdvance(m_title->text());
    const int valueWidth = QFontMetrics(m_value->font()).horizontalAdvance(m_value->text());
    return std::max(titleWidth, valueWidth) + 2 * padding + 1;
}

void QuorvinMetricTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 13, 13);
    painter.fillPath(shape, QuorvinMacTheme::surfaceSubtle.resolve());
}

} // namespace quorvin

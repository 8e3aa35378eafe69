#include "ui/QuorvinUnderlinedField.h"

#include "ui/QuorvinMacTheme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

namespace quorvin {

QuorvinUnderlinedField::QuorvinUnderlinedField(const QString &placeholder, QWidget *trailing, QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
{
    m_edit->setFrame(false);
    m_edit->setPlaceholderText(placeholder);
    m_edit->setFixedHeight(40);
    m_edit->setTextMargins(2, 0, 2, 0);
    m_edit->setAttribute(Qt::WA_MacShowFocusRect, false);
    QFont text = m_edit->font();
    text.setPixelSize(15);
    m_edit->setFont(text);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 1);
    row->setSpacing(12);
    row->addWidget(m_edit, 1);
    if (trailing) {
        row->addWidget(trailing);
    }
    setFixedHeight(41);
    applyTheme();
}

void QuorvinUnderlinedField::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (QuorvinDynamicColor::isAppearanceChange(event)) {
        applyTheme();
    }
}

void QuorvinUnderlinedField::applyTheme()
{
    QPalette own = m_edit->palette();
    const QColor text = QuorvinMacTheme::primaryText.resolve();
    QColor placeholder = QuorvinMacTheme::secondaryText.resolve();
    if (own.color(QPalette::Text) == text && own.color(QPalette::PlaceholderText) == placeholder
        && own.color(QPalette::Base) == Qt::transparent) {
        return;
    }
    own.setColor(QPalette::Text, text);
    own.setColor(QPalette::PlaceholderText, placeholder);
    own.setColor(QPalette::Base, Qt::transparent);
    m_edit->setPalette(own);
}

void QuorvinUnderlinedField::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QuorvinDynamicColor line = QuorvinMacTheme::cardBorder;
    line.opacity = 0.75;
    painter.fillRect(QRect(0, height() - 1, width(), 1), line.resolve());
}

} // namespace quorvin

#include "ui/QuorvinStatusMetaRow.h"

#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSymbolView.h"
#include "ui/QuorvinTextStyle.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quorvin {

QuorvinStatusMetaRow::QuorvinStatusMetaRow(const QString &title, QuorvinSymbol symbol, QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(7);
    auto *symbolFrame = new QWidget(this);
    symbolFrame->setFixedWidth(18);
    auto *symbolColumn = new QVBoxLayout(symbolFrame);
    symbolColumn->setContentsMargins(0, 2, 0, 0);
    symbolColumn->addWidget(new QuorvinSymbolView(symbol, 11, QuorvinMacTheme::systemGray, 1.1, symbolFrame), 0,
        Qt::AlignHCenter | Qt::AlignTop);
    symbolColumn->addStretch(1);
    row->addWidget(symbolFrame, 0, Qt::AlignTop);

    auto *texts = new QVBoxLayout();
    texts->setSpacing(2);
    texts->addWidget(
        new QuorvinLabel(title, QuorvinTextStyle::caption, QFont::Normal, QuorvinMacTheme::secondaryText, this));
    m_value = new QuorvinLabel(QString(), 12, QFont::Medium, QuorvinMacTheme::primaryText, this);
    m_value->setObjectName(QStringLiteral("statusValue"));
    m_value->setWordWrap(true);
    m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_value->setMaximumHeight(2 * QFontMetrics(m_value->font()).lineSpacing());
    texts->addWidget(m_value);
    texts->addStretch(1);
    row->addLayout(texts, 1);
}

void QuorvinStatusMetaRow::setValue(const QString &value)
{
    m_value->setTextIfChanged(value);
}

QString QuorvinStatusMetaRow::value() const
{
    return m_value->text();
}

} // namespace quorvin

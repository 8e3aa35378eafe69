#include "ui/QuorvinCardSectionHeader.h"

#include "ui/QuorvinLabel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/QuorvinSymbol.h"
#include "ui/QuorvinTextStyle.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace quorvin {

namespace {

// The symbol on its disc.
class SymbolDisc final : public QWidget {
public:
    SymbolDisc(QuorvinSymbol symbol, QWidget *parent)
        : QWidget(parent)
        , m_symbol(symbol)
    {
        setFixedSize(28, 28);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QuorvinMacTheme::softBlue.resolve());
        painter.drawEllipse(QRectF(rect()));
        QuorvinSymbols::paint(painter, m_symbol, QRectF(7, 7, 14, 14), QuorvinMacTheme::accentBlue.resolve(), 1.3);
    }

private:
    QuorvinSymbol m_symbol;
};

} // namespace

QuorvinCardSectionHeader::QuorvinCardSectionHeader(
    const QString &title, const QString &subtitle, QuorvinSymbol symbol, QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(new SymbolDisc(symbol, this), 0, Qt::AlignVCenter);
    auto *texts = new QVBoxLayout();
    texts->setSpacing(2);
    texts->addWidget(new QuorvinLabel(title, 15, QFont::Bold, QuorvinMacTheme::primaryText, this));
    if (!subtitle.isEmpty()) {
        texts->addWidget(
            new QuorvinLabel(subtitle, QuorvinTextStyle::caption, QFont::Normal, QuorvinMacTheme::secondaryText, this));
    }
    row->addLayout(texts, 1);
}

} // namespace quorvin

#pragma once

#include "ui/QuorvinSymbol.h"

#include <QAbstractButton>

namespace quorvin {

// A toolbar action: its symbol, and its title beside it unless the button shows the symbol only
// (the title is then its tooltip). A soft capsule marks it under the pointer.
class QuorvinToolbarButton : public QAbstractButton {
    Q_OBJECT
public:
    QuorvinToolbarButton(QuorvinSymbol symbol, const QString &title, bool showsTitle, QWidget *parent = nullptr);

    // Changes the title (and so the tooltip and the accessible name).
    void setTitle(const QString &title);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QFont titleFont() const;

    QuorvinSymbol m_symbol;
    bool m_showsTitle;
    bool m_hovered = false;
};

} // namespace quorvin

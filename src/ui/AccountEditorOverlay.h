#pragma once

#include <QColor>
#include <QWidget>

class QVBoxLayout;

namespace quorvin {

// A dialog laid over the whole account sheet: a dimmed backdrop that swallows every click, and a
// card in its centre holding the content. Only the content's own buttons close it.
class AccountEditorOverlay : public QWidget {
    Q_OBJECT
public:
    // `backdropOpacity` dims what lies behind; the card is `cardWidth` wide, inset by `padding`.
    AccountEditorOverlay(qreal backdropOpacity, int cardWidth, int padding, qreal radius, QWidget *parent = nullptr);

    QWidget *card() const { return m_card; }
    // The card's column, where the content goes.
    QVBoxLayout *content() const { return m_content; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    qreal m_backdropOpacity;
    QWidget *m_card;
    QVBoxLayout *m_content;
};

} // namespace quorvin

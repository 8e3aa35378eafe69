#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QLabel>

namespace quorvin {

// A text in one theme colour, at a pixel size and weight, that recolours itself when the window
// turns light or dark.
class QuorvinLabel : public QLabel {
    Q_OBJECT
public:
    QuorvinLabel(
        const QString &text, int pixelSize, QFont::Weight weight, QuorvinDynamicColor color, QWidget *parent = nullptr);

    void setColor(QuorvinDynamicColor color);
    // Sets the text only when it differs, so an unchanged value is not laid out again.
    void setTextIfChanged(const QString &text);

    // One line that never asks for more width than it gets: a text too long for it is cut with
    // "…" where `mode` says, and shown whole in the tooltip. text() stays the whole text.
    void setElideMode(Qt::TextElideMode mode);
    // The text as drawn now.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyColor();
    void updateToolTip();

    QuorvinDynamicColor m_color;
    Qt::TextElideMode m_elideMode = Qt::ElideNone;
};

} // namespace quorvin

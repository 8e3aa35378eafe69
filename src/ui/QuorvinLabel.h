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

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColor();

    QuorvinDynamicColor m_color;
};

} // namespace quorvin

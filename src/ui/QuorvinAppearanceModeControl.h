#pragma once

#include "app/QuorvinAppearanceMode.h"

#include <QWidget>

#include <functional>

namespace quorvin {

// The toolbar's appearance switch: a capsule of three icon buttons (light, dark, follow the
// system), the selected one filled with the accent colour.
class QuorvinAppearanceModeControl : public QWidget {
    Q_OBJECT
public:
    explicit QuorvinAppearanceModeControl(QWidget *parent = nullptr);

    void setSelectedMode(QuorvinAppearanceMode mode);
    QuorvinAppearanceMode selectedMode() const { return m_selected; }

    // The button of `mode`, for tests and accessibility.
    QWidget *button(QuorvinAppearanceMode mode) const;

    static QString label(QuorvinAppearanceMode mode);

Q_SIGNALS:
    void modeChosen(quorvin::QuorvinAppearanceMode mode);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QuorvinAppearanceMode m_selected = QuorvinAppearanceMode::System;
    QList<QWidget *> m_buttons;
};

} // namespace quorvin

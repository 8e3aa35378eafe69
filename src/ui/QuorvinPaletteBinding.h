#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QList>
#include <QObject>
#include <QPalette>

class QAbstractButton;
class QWidget;

namespace quorvin {

// Keeps roles of a stock widget's palette in theme colours: set at once, and again whenever the
// application's look changes, for as long as the widget lives. The disabled state keeps the look's
// own colours, so a disabled control still reads as one.
class QuorvinPaletteBinding final : public QObject {
    Q_OBJECT
public:
    struct Role {
        QPalette::ColorRole role;
        QuorvinDynamicColor color;
    };

    static void bind(QWidget *widget, QList<Role> roles);
    // A button whose action cannot be undone: its title in the danger colour.
    static void markDestructive(QAbstractButton *button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QuorvinPaletteBinding(QWidget *widget, QList<Role> roles);
    void apply();

    QWidget *m_widget;
    QList<Role> m_roles;
};

} // namespace quorvin

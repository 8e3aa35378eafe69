#include "ui/QuorvinPaletteBinding.h"

#include "ui/QuorvinMacTheme.h"

#include <QAbstractButton>
#include <QEvent>
#include <QWidget>

namespace quorvin {

QuorvinPaletteBinding::QuorvinPaletteBinding(QWidget *widget, QList<Role> roles)
    : QObject(widget)
    , m_widget(widget)
    , m_roles(std::move(roles))
{
    widget->installEventFilter(this);
    apply();
}

void QuorvinPaletteBinding::bind(QWidget *widget, QList<Role> roles)
{
    new QuorvinPaletteBinding(widget, std::move(roles));
}

void QuorvinPaletteBinding::markDestructive(QAbstractButton *button)
{
    bind(button, {{QPalette::ButtonText, QuorvinMacTheme::danger}});
}

bool QuorvinPaletteBinding::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && QuorvinDynamicColor::isAppearanceChange(event)) {
        apply();
    }
    return QObject::eventFilter(watched, event);
}

void QuorvinPaletteBinding::apply()
{
    QPalette palette = m_widget->palette();
    for (const Role &role : std::as_const(m_roles)) {
        const QColor color = role.color.resolve();
        palette.setColor(QPalette::Active, role.role, color);
        palette.setColor(QPalette::Inactive, role.role, color);
    }
    // Setting the same colours again changes nothing and sends no further change.
    if (palette != m_widget->palette()) {
        m_widget->setPalette(palette);
    }
}

} // namespace quorvin

#pragma once

#include <QIcon>
#include <QList>
#include <QString>

#include <functional>

namespace quorvin {

// One entry of a status item's menu. An entry without a title is a separator.
struct StatusMenuEntry {
    QString title;
    std::function<void()> action;

    bool isSeparator() const { return title.isEmpty(); }
};

// Everything a status item shows and does.
struct StatusItemDescription {
    QIcon icon;
    QString toolTip;
    QList<StatusMenuEntry> menu;
    // A plain click on the item itself (its menu opens on the other button).
    std::function<void()> activated;
};

} // namespace quorvin

#pragma once

#include "platform/shell/StatusBar.h"

#include <QList>

namespace quorvin {

// A status area in memory: tests see which items are up and pick their menu entries.
class FakeStatusBar final : public StatusBar {
public:
    ~FakeStatusBar() override;

    // Whether new items get a button.
    bool available = true;

    std::unique_ptr<StatusItem> addItem(StatusItemDescription description) override;

    // Items alive now, oldest first, and how many were ever added.
    int itemCount() const { return static_cast<int>(m_items.size()); }
    int addedCount() const { return m_added; }
    // The newest live item's description; null when none is alive.
    const StatusItemDescription *current() const;

    // Runs the entry titled `title` of the newest live item, as a click in its menu would. False
    // when there is no such item or entry.
    bool trigger(const QString &title);
    // Clicks the newest live item itself.
    bool activate();

private:
    class Item;
    QList<Item *> m_items;
    int m_added = 0;
};

} // namespace quorvin

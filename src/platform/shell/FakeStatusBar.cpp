#include "platform/shell/FakeStatusBar.h"

namespace quorvin {

class FakeStatusBar::Item final : public StatusItem {
public:
    Item(FakeStatusBar *bar, StatusItemDescription description)
        : m_bar(bar)
        , description(std::move(description))
        , m_hasButton(bar->available)
    {
        m_bar->m_items.append(this);
    }
    ~Item() override
    {
        if (m_bar) {
            m_bar->m_items.removeOne(this);
        }
    }
    bool hasButton() const override { return m_hasButton; }

    FakeStatusBar *m_bar;
    StatusItemDescription description;
    bool m_hasButton;
};

FakeStatusBar::~FakeStatusBar()
{
    for (auto *item : std::as_const(m_items)) {
        item->m_bar = nullptr;
    }
}

std::unique_ptr<StatusItem> FakeStatusBar::addItem(StatusItemDescription description)
{
    ++m_added;
    return std::make_unique<Item>(this, std::move(description));
}

const StatusItemDescription *FakeStatusBar::current() const
{
    return m_items.isEmpty() ? nullptr : &m_items.last()->description;
}

bool FakeStatusBar::trigger(const QString &title)
{
    if (m_items.isEmpty()) {
        return false;
    }
    for (const auto &entry : std::as_const(m_items.last()->description.menu)) {
        if (!entry.isSeparator() && entry.title == title) {
            // A copy: the action may destroy the item that holds the entry.
            const auto run = entry.action;
            if (run) {
                run();
            }
            return true;
        }
    }
    return false;
}

bool FakeStatusBar::activate()
{
    if (m_items.isEmpty() || !m_items.last()->description.activated) {
        return false;
    }
    const auto run = m_items.last()->description.activated;
    run();
    return true;
}

} // namespace quorvin

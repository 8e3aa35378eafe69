#include "platform/reminderstore/eds/ReminderStoreSelection.h"
#include "platform/defaults/InMemoryUserDefaults.h"

#include <gtest/gtest.h>

using namespace quorvin;
using namespace Qt::Literals::StringLiterals;

TEST(ReminderStoreSelection, TheSessionDecidesUnlessTheSettingForcesAStore)
{
    using Kind = ReminderStoreSelection::Kind;
    InMemoryUserDefaults defaults;
    int asked = 0;
    const auto offered = [&asked] {
        ++asked;
        return true;
    };
    const auto notOffered = [] { return false; };

    EXPECT_EQ(ReminderStoreSelection::choose(defaults, offered), Kind::TaskDatabase);
    EXPECT_EQ(ReminderStoreSelection::choose(defaults, notOffered), Kind::JsonFile);

    defaults.setString(u"Quorvin.ReminderStore"_s, u"json"_s);
    asked = 0;
    EXPECT_EQ(ReminderStoreSelection::choose(defaults, offered), Kind::JsonFile);
    EXPECT_EQ(asked, 0) << "a forced store never asks the bus";
    defaults.setString(u"Quorvin.ReminderStore"_s, u" EDS "_s);
    EXPECT_EQ(ReminderStoreSelection::choose(defaults, notOffered), Kind::TaskDatabase);

    // Anything else is no choice.
    defaults.setString(u"Quorvin.ReminderStore"_s, u"sqlite"_s);
    EXPECT_EQ(ReminderStoreSelection::choose(defaults, notOffered), Kind::JsonFile);
    EXPECT_EQ(ReminderStoreSelection::choose(defaults, offered), Kind::TaskDatabase);
}

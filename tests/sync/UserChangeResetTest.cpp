#include "SyncHarness.h"

#include "account/ShortCloudIdentifier.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

TEST(UserChangeReset, ShortIdentifiers)
{
    EXPECT_EQ(shortCloudIdentifier(u"  "_s), u"-"_s);
    EXPECT_EQ(shortCloudIdentifier(u" 12345678901234 "_s), u"12345678901234"_s);
    EXPECT_EQ(shortCloudIdentifier(u"123456789012345"_s), u"1234567\u20262345"_s);
    EXPECT_EQ(shortCloudIdentifier(u"123456789012345"_s).size(), 12);
    // Characters are what a reader sees: an accented letter or an emoji sequence counts once and
    // is never cut in half.
    const QString accented = u"e\u0301"_s.repeated(14);
    EXPECT_EQ(shortCloudIdentifier(accented), accented);
    const QString thumb = u"\U0001F44D\U0001F3FD"_s;
    EXPECT_EQ(shortCloudIdentifier(thumb.repeated(15)), thumb.repeated(7) + u"\u2026"_s + thumb.repeated(4));
}

// Only a real change of user, or state left from before any user was known, wipes the cloud-side
// state; the local reminders stay whatever happens.
TEST(UserChangeReset, ClearsOnlyForAnotherUserOrUnownedState)
{
    SyncHarness h;
    h.addLocalReminder(u"Keep me"_s);
    auto &service = h.start();
    ASSERT_TRUE(h.settle());
    ASSERT_FALSE(service.cloudPullCursor().isEmpty());
    ASSERT_EQ(service.reminderMappingIndex().recordCount(), 1);
    const auto lastLog = [&] { return service.logs().front().text; };

    // No user yet, but cursors and mappings exist: they cannot be trusted for whoever signs in.
    service.resetCloudSyncStateForUserChangeIfNeeded(u"  "_s, u"Cloud session refreshed"_s);
    EXPECT_FALSE(service.cloudPullCursor().isEmpty()) << "a blank next user changes nothing";
    service.resetCloudSyncStateForUserChangeIfNeeded(u"user-aaaaaaaaaaaaaaaa"_s, u"Cloud session refreshed"_s);
    EXPECT_TRUE(service.cloudPullCursor().isEmpty());
    EXPECT_TRUE(service.cloudPushCursor().isEmpty());
    EXPECT_EQ(service.reminderMappingIndex().recordCount(), 0);
    EXPECT_TRUE(service.cloudPushCursorNeedsRebase());
    EXPECT_TRUE(lastLog().endsWith(
        u"Cloud session refreshed: cloud user resolved for existing sync state -> reset cursors and mappings; local reminders preserved"_s));

    // The same user, written with other spaces, is no change.
    service.setCloudUserID(u"user-aaaaaaaaaaaaaaaa"_s);
    service.scheduleCloudSync(u"manual"_s);
    ASSERT_TRUE(h.settle());
    ASSERT_FALSE(service.cloudPullCursor().isEmpty());
    service.resetCloudSyncStateForUserChangeIfNeeded(u" user-aaaaaaaaaaaaaaaa\n"_s, u"Cloud session refreshed"_s);
    EXPECT_FALSE(service.cloudPullCursor().isEmpty());

    service.resetCloudSyncStateForUserChangeIfNeeded(u"user-bbbbbbbbbbbbbbbb"_s, u"Cloud session refreshed"_s);
    EXPECT_TRUE(service.cloudPullCursor().isEmpty());
    EXPECT_TRUE(lastLog().endsWith(
        u"Cloud session refreshed: cloud user changed user-aa\u2026aaaa -> user-bb\u2026bbbb; local reminders preserved"_s));
    EXPECT_EQ(h.store.reminders().size(), 1u);

    // A first sign-in with nothing stored leaves everything as it is.
    service.setCloudUserID(QString());
    const auto newestBefore = service.logs().front().id;
    service.resetCloudSyncStateForUserChangeIfNeeded(u"user-cccccccccccccccc"_s, u"Cloud session refreshed"_s);
    EXPECT_EQ(service.logs().front().id, newestBefore) << "no line was written";
    EXPECT_FALSE(service.cloudPushCursorNeedsRebase() && !service.cloudPullCursor().isEmpty());
}

} // namespace quorvin::test

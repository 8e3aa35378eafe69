#include "AccountFixture.h"

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
// state.
TEST(UserChangeReset, ClearsOnlyForAnotherUserOrUnownedState)
{
    AccountFixture f;
    f.build();
    f.holdSyncState();

    // No user yet, but cursors and mappings exist: they cannot be trusted for whoever signs in.
    f.account->resetCloudSyncStateForUserChangeIfNeeded(u"  "_s, u"Cloud session refreshed"_s);
    EXPECT_FALSE(f.syncState->cloudPullCursor().isEmpty()) << "a blank next user changes nothing";
    f.account->resetCloudSyncStateForUserChangeIfNeeded(u"user-aaaaaaaaaaaaaaaa"_s, u"Cloud session refreshed"_s);
    EXPECT_TRUE(f.syncState->cloudPullCursor().isEmpty());
    EXPECT_TRUE(f.syncState->cloudPushCursor().isEmpty());
    EXPECT_EQ(f.syncState->reminderMappingIndex().recordCount(), 0);
    EXPECT_TRUE(f.syncState->cloudPushCursorNeedsRebase());
    EXPECT_TRUE(f.newestLogLine().endsWith(
        u"Cloud session refreshed: cloud user resolved for existing sync state -> reset cursors and mappings; local reminders preserved"_s));

    // The same user, written with other spaces, is no change.
    f.account->applyCloudSession(CloudAuthSessionResponse {.user_id = u"user-aaaaaaaaaaaaaaaa"_s});
    f.holdSyncState();
    f.account->resetCloudSyncStateForUserChangeIfNeeded(u" user-aaaaaaaaaaaaaaaa\n"_s, u"Cloud session refreshed"_s);
    EXPECT_FALSE(f.syncState->cloudPullCursor().isEmpty());
    EXPECT_FALSE(f.syncState->cloudPushCursorNeedsRebase());

    f.account->resetCloudSyncStateForUserChangeIfNeeded(u"user-bbbbbbbbbbbbbbbb"_s, u"Cloud session refreshed"_s);
    EXPECT_TRUE(f.syncState->cloudPullCursor().isEmpty());
    EXPECT_TRUE(f.syncState->cloudPushCursorNeedsRebase());
    EXPECT_TRUE(f.newestLogLine().endsWith(
        u"Cloud session refreshed: cloud user changed user-aa\u2026aaaa -> user-bb\u2026bbbb; local reminders preserved"_s));

    // A first sign-in with nothing stored leaves everything as it is.
    f.account->applyCloudSession(CloudAuthSessionResponse {});
    f.syncState->setCloudPushCursorNeedsRebase(false);
    const auto newestBefore = f.log.logs().front().id;
    f.account->resetCloudSyncStateForUserChangeIfNeeded(u"user-cccccccccccccccc"_s, u"Cloud session refreshed"_s);
    EXPECT_EQ(f.log.logs().front().id, newestBefore) << "no line was written";
    EXPECT_FALSE(f.syncState->cloudPushCursorNeedsRebase());
}

} // namespace quorvin::test

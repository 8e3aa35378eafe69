#include "AccountFixture.h"

#include "cloud/CloudHTTPError.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

TEST(CloudAccountTest, TokenNormalisationAndMarker)
{
    const struct {
        QString value;
        QString token;
    } cases[] = {
        {u"  \n"_s, QString()},
        {u"Bearer qvk_AbC-12_x."_s, u"qvk_AbC-12_x"_s},
        {u"\"qvk_abc\""_s, u"qvk_abc"_s},
        {u"plain.token~1-2 rest"_s, u"plain.token~1-2"_s},
        {u"#nope"_s, QString()},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(CloudAccount::normalizeCloudAuthTokenValue(c.value), c.token) << c.value.toStdString();
    }
    EXPECT_EQ(CloudAccount::fnv1aHashString(QString()), u"cbf29ce484222325"_s);
    EXPECT_EQ(CloudAccount::fnv1aHashString(u"a"_s), u"af63dc4c8601ec8c"_s);
    EXPECT_EQ(CloudAccount::cloudAuthTokenMarkerValue(u"  "_s), QString());
    EXPECT_EQ(CloudAccount::cloudAuthTokenMarkerValue(u" a "_s), u"af63dc4c8601ec8c"_s);
}

// Applying tokens: the same token clears nothing, another token or none clears the cloud-side state
// and forces a rebase, and an empty token also signs the account out. Every application stops the
// owner's long-poll.
TEST(CloudAccountTest, ApplyingTokensResetsCloudState)
{
    AccountFixture f;
    f.defaults.setString(u"Quorvin.CloudAuthToken"_s, u"qvk_first"_s);
    f.defaults.setString(u"Quorvin.CloudAuthTokenMarker"_s, CloudAccount::cloudAuthTokenMarkerValue(u"qvk_first"_s));
    f.defaults.setString(u"Quorvin.CloudUserID"_s, u"user-1"_s);
    f.defaults.setBoolean(u"Quorvin.CloudPhoneLinked"_s, true);
    f.build();
    f.account->reconcileCloudSyncStateWithAuthToken();
    f.holdSyncState();
    EXPECT_EQ(f.account->cloudUserID(), u"user-1"_s);
    const auto epoch = f.syncState->syncStateEpoch();

    f.account->applyCloudAuthToken(u"qvk_first"_s, u"same token"_s);
    EXPECT_EQ(f.syncState->cloudPullCursor(), u"7"_s);
    EXPECT_FALSE(f.syncState->cloudPushCursorNeedsRebase());
    EXPECT_EQ(f.syncState->syncStateEpoch(), epoch);
    EXPECT_EQ(f.owner.tokensApplied, 1);
    EXPECT_TRUE(f.newestLogLine().endsWith(u"] same token"_s));

    f.account->applyCloudAuthToken(u"qvk_other"_s, u"other token"_s);
    EXPECT_TRUE(f.syncState->cloudPullCursor().isEmpty());
    EXPECT_TRUE(f.syncState->reminderMappingIndex().isEmpty());
    EXPECT_EQ(f.syncState->remoteIdentityCacheVersion(), 0);
    EXPECT_TRUE(f.syncState->cloudPushCursorNeedsRebase());
    EXPECT_GT(f.syncState->syncStateEpoch(), epoch);
    EXPECT_FALSE(f.defaults.contains(u"Quorvin.RemoteServerIDs"_s));
    EXPECT_EQ(f.account->cloudAuthTokenMarker(), CloudAccount::cloudAuthTokenMarkerValue(u"qvk_other"_s));
    EXPECT_EQ(f.defaults.string(u"Quorvin.CloudAuthToken"_s), u"qvk_other"_s);
    EXPECT_EQ(f.account->cloudUserID(), u"user-1"_s);
    EXPECT_TRUE(f.newestLogLine().endsWith(u"] Cloud auth token changed -> reset cloud cursors and mappings"_s));

    f.account->applyCloudAuthToken(QString(), u"signed out"_s);
    EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
    EXPECT_TRUE(f.account->cloudUserID().isEmpty());
    EXPECT_FALSE(f.account->cloudPhoneLinked());
    EXPECT_FALSE(f.defaults.contains(u"Quorvin.CloudUserID"_s));
    EXPECT_EQ(f.defaults.boolean(u"Quorvin.CloudPhoneLinked"_s), false);
    EXPECT_TRUE(f.account->cloudAuthTokenMarker().isEmpty());
    EXPECT_EQ(f.owner.tokensApplied, 3);
}

// Only a 401 of the cloud service ends the session; the owner is told to show it.
TEST(CloudAccountTest, AccessFailureEndsTheSessionOnlyForTheServices401)
{
    AccountFixture f;
    f.defaults.setString(u"Quorvin.CloudAuthToken"_s, u"qvk_first"_s);
    f.build();
    f.account->reconcileCloudSyncStateWithAuthToken();

    EXPECT_FALSE(f.account->handleCloudAccessFailure(CloudHTTPError(500, u"boom"_s), u"manual"_s));
    EXPECT_FALSE(f.account->handleCloudAccessFailure(Error(u"Quorvin.Other"_s, 401, u"x"_s), u"manual"_s));
    EXPECT_EQ(f.account->cloudAuthToken(), u"qvk_first"_s);
    EXPECT_TRUE(f.owner.statuses.isEmpty());

    EXPECT_TRUE(f.account->handleCloudAccessFailure(CloudHTTPError(401, u"expired"_s), u"manual"_s));
    EXPECT_TRUE(f.account->cloudAuthToken().isEmpty());
    EXPECT_EQ(f.owner.statuses, QStringList({u"failure: 云账号会话已失效，已清除本机同步状态"_s}));
    EXPECT_TRUE(f.log.logs().at(1).text.endsWith(
        u"] Cloud auth token invalid or revoked [manual] -> local account and cloud sync state cleared"_s));
}

} // namespace quorvin::test

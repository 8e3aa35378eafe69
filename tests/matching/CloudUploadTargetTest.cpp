#include "matching/CloudUploadTarget.h"
#include "matching/InMemoryReminderLookup.h"
#include "matching/TestPayloads.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

// Which server item an upload writes to: the series' server item for a recurring completion, a
// new one for its completed copy, the mapped one unless the server shows that mapping stale, and
// for a reminder that would go up as a new item the unclaimed server item that already carries its
// identity (an upload whose answer was lost), if there is one.
TEST(CloudUploadTargetTest, Table)
{
    using Reason = CloudUploadTarget::Reason;
    using Set = std::optional<QSet<QString>>;
    const std::optional<QString> none;
    const QHash<QString, QString> s1IsSrc {{u"s1"_s, u"src"_s}};
    const QHash<QString, QString> s1IsL1 {{u"s1"_s, u"l1"_s}};
    const QHash<QString, QString> s1IsOther {{u"s1"_s, u"other"_s}};
    const Set noSet;
    const Set srcKnown = QSet<QString> {u"src"_s};
    const Set otherKnown = QSet<QString> {u"other"_s};
    const Set l1Known = QSet<QString> {u"l1"_s};
    const Set s1Held = QSet<QString> {u"s1"_s};
    const Set s1Gone = QSet<QString> {u"s2"_s};
    // s6 and s7 carry src, and only s6 stands for a reminder here; s3 carries l1 and stands for
    // "other".
    const QHash<QString, QString> lostAnswer {{u"s6"_s, u"src"_s}, {u"s7"_s, u"src"_s}, {u"s3"_s, u"l1"_s}};
    const QHash<QString, QString> s1IsOtherS7IsSrc {{u"s1"_s, u"other"_s}, {u"s7"_s, u"src"_s}};
    const QHash<QString, QString> onlyClaimed {{u"s3"_s, u"l1"_s}};
    const QHash<QString, QString> s1IsPhoneID {{u"s1"_s, u"phone-7"_s}};
    // The reminders here: l1 and "other".
    InMemoryReminderLookup reminders;
    reminders.put(reminder(u"l1"_s, u"Mine"_s));
    reminders.put(reminder(u"other"_s, u"Another"_s));
    CloudIDMappingIndex mappings;
    mappings.set(u"s1"_s, u"l1"_s, false);
    mappings.set(u"s3"_s, u"other"_s, false);
    mappings.set(u"s6"_s, u"other"_s, false);
    // What the server holds; the reverse map is derived from the first member.
    struct Remote {
        QHash<QString, QString> sourceIdentityByServerID;
        Set sourceIdentities;
        Set serverIDs;
    };
    const struct {
        const char *what;
        CloudUploadTarget::Upload upload;
        Remote remote;
        std::optional<QString> serverID;
        Reason reason;
        std::optional<QString> stale;
    } rows[] = {
        {"unmapped", {u"l1"_s, u"src"_s, none, none, false}, {s1IsSrc, srcKnown, s1Held}, none, Reason::Unmapped, none},
        {"recurring completion", {u"l1"_s, u"src"_s, u"s1"_s, u"s-old"_s, false}, {s1IsOther, otherKnown, s1Gone},
            u"s-old"_s, Reason::RecurringCompletion, none},
        {"the series wins over a copy", {u"l1"_s, none, none, u"s-old"_s, true}, {}, u"s-old"_s,
            Reason::RecurringCompletion, none},
        {"completed copy", {u"l1"_s, u"src"_s, u"s1"_s, none, true}, {s1IsSrc, srcKnown, s1Held}, none,
            Reason::CompletedCopy, none},
        {"same identity", {u"l1"_s, u" src "_s, u"s1"_s, none, false}, {s1IsSrc, srcKnown, s1Gone}, u"s1"_s,
            Reason::Mapped, none},
        {"own id as identity", {u"l1"_s, u"  "_s, u"s1"_s, none, false}, {s1IsL1, l1Known, s1Gone}, u"s1"_s,
            Reason::Mapped, none},
        {"no identity to compare", {u"  "_s, none, u"s1"_s, none, false}, {s1IsOther, otherKnown, s1Gone}, u"s1"_s,
            Reason::Mapped, none},
        {"own id against another identity", {u"l1"_s, none, u"s1"_s, none, false}, {s1IsOther, l1Known, s1Held}, none,
            Reason::IdentityMismatch, u"s1"_s},
        {"other identity", {u"l1"_s, u"src"_s, u"s1"_s, none, false}, {s1IsOther, srcKnown, s1Held}, none,
            Reason::IdentityMismatch, u"s1"_s},
        {"another device's id for it", {u"l1"_s, u"src"_s, u"s1"_s, none, false}, {s1IsPhoneID, srcKnown, s1Held},
            u"s1"_s, Reason::Mapped, none},
        {"unknown server", {u"l1"_s, u"src"_s, u"s1"_s, none, false}, {{}, noSet, noSet}, u"s1"_s, Reason::Mapped,
            none},
        {"identity held elsewhere", {u"l1"_s, u"src"_s, u"s1"_s, none, false}, {{}, srcKnown, s1Gone}, u"s1"_s,
            Reason::Mapped, none},
        {"server item held", {u"l1"_s, u"src"_s, u"s1"_s, none, false}, {{}, otherKnown, s1Held}, u"s1"_s,
            Reason::Mapped, none},
        {"neither held", {u"l1"_s, u"src"_s, u"s1"_s, none, false}, {{}, otherKnown, s1Gone}, none,
            Reason::MissingRemotely, u"s1"_s},
        {"server ids unknown", {u"l1"_s, u"src"_s, u"s1"_s, none, false}, {{}, otherKnown, noSet}, none,
            Reason::MissingRemotely, u"s1"_s},
        {"lost answer", {u"l1"_s, u" src"_s, none, none, false}, {lostAnswer, srcKnown, s1Held}, u"s7"_s,
            Reason::KnownRemotely, none},
        {"identity held by a claimed item", {u"l1"_s, none, none, none, false}, {onlyClaimed, l1Known, s1Held}, none,
            Reason::Unmapped, none},
        {"lost answer behind a stale mapping", {u"l1"_s, u"src"_s, u"s1"_s, none, false},
            {s1IsOtherS7IsSrc, srcKnown, s1Held}, u"s7"_s, Reason::KnownRemotely, u"s1"_s},
        {"a completed copy never adopts", {u"l1"_s, u"src"_s, none, none, true}, {lostAnswer, srcKnown, s1Held}, none,
            Reason::CompletedCopy, none},
    };
    for (const auto &row : rows) {
        CloudRemoteIdentities remote {
            row.remote.sourceIdentityByServerID, row.remote.sourceIdentities, row.remote.serverIDs, {}};
        for (auto it = remote.sourceIdentityByServerID.cbegin(); it != remote.sourceIdentityByServerID.cend(); ++it) {
            remote.serverIDsBySourceIdentity[it.value()].append(it.key());
        }
        for (auto &ids : remote.serverIDsBySourceIdentity) {
            std::sort(ids.begin(), ids.end());
        }
        const auto target = CloudUploadTarget::resolve(row.upload, remote, mappings, reminders);
        EXPECT_EQ(target.serverID, row.serverID) << row.what;
        EXPECT_EQ(target.reason, row.reason) << row.what;
        EXPECT_EQ(target.staleServerID, row.stale) << row.what;
    }
}

} // namespace quorvin::test

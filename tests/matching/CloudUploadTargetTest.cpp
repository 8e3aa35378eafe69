#include "matching/CloudUploadTarget.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace quorvin::test {

// Which server item an upload writes to: the series' server item for a recurring completion, a
// new one for its completed copy or without a mapping, else the mapped one unless the server
// shows that mapping stale.
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
    const struct {
        const char *what;
        CloudUploadTarget::Upload upload;
        CloudRemoteIdentities remote;
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
    };
    for (const auto &row : rows) {
        const auto target = CloudUploadTarget::resolve(row.upload, row.remote);
        EXPECT_EQ(target.serverID, row.serverID) << row.what;
        EXPECT_EQ(target.reason, row.reason) << row.what;
        EXPECT_EQ(target.staleServerID, row.stale) << row.what;
    }
}

} // namespace quorvin::test

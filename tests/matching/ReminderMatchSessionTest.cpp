#include "matching/CloudReminderMatchSession.h"
#include "matching/InMemoryReminderLookup.h"
#include "matching/MatchText.h"
#include "matching/ReminderMatchIndex.h"
#include "matching/TestPayloads.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quorvin;
using namespace quorvin::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QStringList ids(const QList<ReminderPayloadRef> &payloads)
{
    QStringList result;
    for (const auto &p : payloads) {
        result.append(p->local_id);
    }
    return result;
}

QStringList ids(const QList<ReminderMatchRecord> &records)
{
    QStringList result;
    for (const auto &r : records) {
        result.append(r.localID);
    }
    return result;
}

ReminderPayload created(const QString &id, const QString &title, std::optional<QString> createdAt)
{
    auto p = reminder(id, title);
    p.created_at = std::move(createdAt);
    return p;
}

} // namespace

TEST(MatchText, NormalisesTextTheSameWayEverywhere)
{
    EXPECT_EQ(MatchText::normalized(u"  Buy MILK\r\n"_s), u"buy milk"_s);
    EXPECT_EQ(MatchText::normalized(u"Line\r\nTwo"_s), u"line\ntwo"_s);
    EXPECT_EQ(MatchText::normalized(u"Buy  milk"_s), u"buy  milk"_s); // inner runs stay
    EXPECT_EQ(MatchText::normalized(std::optional<QString>()), QString());
    EXPECT_EQ(MatchText::trimmed(u"  Keep Case \n"_s), u"Keep Case"_s);
    // Vertical tab and next line are white space too, as the other side trims them.
    EXPECT_EQ(MatchText::normalized(u"\u000B Buy\u0085"_s), u"buy"_s);
    EXPECT_TRUE(MatchText::normalizedEqual(u"\u0085abc\u000B"_s, u"abc"_s));
    EXPECT_TRUE(MatchText::normalizedIsEmpty(u"\u000B\u0085"_s));

    // The shortcuts agree with the plain definition, ASCII or not.
    const QString samples[] = {u""_s, u" \t\r\n"_s, u"Abc"_s, u"abc"_s, u" abc\r\n"_s, u"a\r\nb"_s, u"a\nb"_s,
        u"a\rb"_s, u"A\r\r\nB"_s, u"ÄBC"_s, u"äbc"_s, u"\u3000买牛奶\u3000"_s, u"买牛奶"_s, u"İ"_s, u"i̇"_s, u"ǅ"_s};
    const auto reference = [](const QString &text) { return text.trimmed().replace(u"\r\n"_s, u"\n"_s).toLower(); };
    for (const auto &a : samples) {
        EXPECT_EQ(MatchText::normalized(a), reference(a)) << a.toStdString();
        EXPECT_EQ(MatchText::normalizedIsEmpty(a), reference(a).isEmpty()) << a.toStdString();
        for (const auto &b : samples) {
            EXPECT_EQ(MatchText::normalizedEqual(a, b), reference(a) == reference(b))
                << a.toStdString() << " / " << b.toStdString();
        }
    }
    // Shanghai is UTC+8: 16:00 UTC the day before is local midnight.
    const auto midnight = QDateTime::fromString(u"2025-03-06T16:00:00Z"_s, Qt::ISODate);
    EXPECT_TRUE(MatchText::isChinaMidnight(midnight));
    EXPECT_FALSE(MatchText::isChinaMidnight(midnight.addSecs(60)));
    EXPECT_TRUE(MatchText::sameChinaDay(midnight, QDateTime::fromString(u"2025-03-07T15:59:00Z"_s, Qt::ISODate)));
    EXPECT_FALSE(MatchText::sameChinaDay(midnight, QDateTime::fromString(u"2025-03-07T16:00:00Z"_s, Qt::ISODate)));
}

TEST(ReminderMatchIndex, BucketsOrdersAndCounts)
{
    auto older = created(u"b"_s, u"Pay rent"_s, u"2024-01-01T00:00:00Z"_s);
    auto newer = created(u"a"_s, u"  pay RENT\r\n"_s, u"2024-02-01T00:00:00.000Z"_s);
    auto undatedZ = created(u"z"_s, u"Pay rent"_s, std::nullopt);
    auto undatedY = created(u"y"_s, u"Pay rent"_s, u"garbage"_s);
    auto completed = created(u"c"_s, u"Pay rent"_s, u"2023-01-01T00:00:00Z"_s);
    completed.is_completed = true;
    completed.completion_date = u"2024-03-01T00:00:00Z"_s;
    auto doubleSpace = created(u"d"_s, u"Pay  rent"_s, u"2023-01-01T00:00:00Z"_s);

    CloudReminderMatchSession session(
        QList<ReminderPayload> {undatedZ, newer, completed, older, undatedY, doubleSpace});
    auto &index = session.index();
    const auto query = CloudReminderMatchSession::record(reminder(u"q"_s, u"pay rent"_s));

    // Oldest first; records without a readable time last, by id.
    EXPECT_EQ(ids(index.stableCandidates(query)), (QStringList {u"b"_s, u"a"_s, u"y"_s, u"z"_s}));
    EXPECT_EQ(index.stableCandidates(query).back().creationSortTimestamp, std::numeric_limits<double>::max());
    // The completion-agnostic bucket also finds the completed twin; the stable one does not.
    EXPECT_EQ(ids(index.completionAgnosticCandidates(query)), (QStringList {u"c"_s, u"b"_s, u"a"_s, u"y"_s, u"z"_s}));
    auto completedQuery = query;
    completedQuery.isCompleted = true;
    EXPECT_EQ(ids(index.completedOccurrenceCandidates(completedQuery)), QStringList {u"c"_s});
    // Each lookup compared the records of its bucket, and no other.
    EXPECT_EQ(index.metrics(), (ReminderMatchIndexMetrics {0, 0, 2, 1, 1, 4 + 4 + 5 + 1, 4 + 4 + 5 + 1}));

    // Exact lookups count one returned candidate only when found.
    EXPECT_TRUE(index.exactCandidate(u"a"_s));
    EXPECT_FALSE(index.exactCandidate(u"nope"_s));
    EXPECT_EQ(index.metrics().exactLookupCount, 2);
    EXPECT_EQ(index.metrics().returnedCandidateCount, 15);

    // Re-indexing under a new title leaves the old bucket.
    auto renamed = CloudReminderMatchSession::record(older);
    renamed.title = u"something else"_s;
    index.upsert(renamed);
    EXPECT_EQ(ids(index.stableCandidates(query)), (QStringList {u"a"_s, u"y"_s, u"z"_s}));
    EXPECT_EQ(ids(index.stableCandidates(renamed)), QStringList {u"b"_s});
    index.remove(u"b"_s);
    index.remove(u"b"_s);
    EXPECT_TRUE(index.stableCandidates(renamed).isEmpty());
    EXPECT_EQ(index.size(), 5);
}

TEST(CloudReminderMatchSession, NormalisesRecordsAndStaysCurrent)
{
    auto a = reminder(u"a"_s, u"Call mum"_s);
    a.notes = u"Line one\r\nLINE two"_s;
    a.created_at = u" 2024-01-01T00:00:00Z"_s; // leading space: unreadable
    a.updated_at = u"2024-05-01T00:00:00Z"_s;
    a.source_external_id = u"  ext-1 "_s;
    a.external_id = u"   "_s;
    a.list_id = u"L1"_s;
    a.due_date = u"2025-01-01T09:00:00.000Z"_s;
    auto b = reminder(u"b"_s, u"Call mum"_s);
    b.notes = u"line one\nline two"_s;
    b.due_date = u"2025-01-01T09:00:00Z"_s; // same instant, other text
    b.external_id = u"ext-1"_s;
    b.list_id = u"L2"_s;
    auto c = reminder(u"c"_s, u"No list"_s);
    auto first = reminder(u"b"_s, u"Old copy"_s);

    CloudReminderMatchSession session(QList<ReminderPayload> {first, a, b, c});
    EXPECT_EQ(session.payload(u"b"_s)->title, u"Call mum"_s); // the later payload wins

    const auto record = CloudReminderMatchSession::record(a);
    EXPECT_EQ(record.notes, u"line one\nline two"_s);
    EXPECT_EQ(record.externalIDs, QStringList {u"ext-1"_s});
    EXPECT_EQ(record.creationSortTimestamp,
        MatchText::referenceSeconds(QDateTime::fromString(u"2024-05-01T00:00:00Z"_s, Qt::ISODate)));

    // Notes normalise alike, but due dates compare as text.
    EXPECT_EQ(ids(session.stableCandidates(a)), QStringList {u"a"_s});
    EXPECT_EQ(ids(session.externalCandidates({u"ext-1"_s})), (QStringList {u"a"_s, u"b"_s}));
    EXPECT_EQ(session.exactCandidate(u"c"_s)->title, u"No list"_s);
    EXPECT_FALSE(session.exactCandidate(u"zzz"_s));

    session.removeAll(u"L1"_s);
    EXPECT_FALSE(session.payload(u"a"_s));
    EXPECT_TRUE(session.payload(u"b"_s));
    EXPECT_TRUE(session.payload(u"c"_s));
    EXPECT_FALSE(session.index().contains(u"a"_s));

    // Re-reading after writes: an unchanged reminder keeps its record, an edited one is re-indexed
    // (even under the same content hash), a deleted one leaves.
    InMemoryReminderLookup store;
    store.put(b);
    const auto heldB = session.payload(u"b"_s);
    refreshMatchSession(session, {u"b"_s}, store);
    EXPECT_EQ(session.payload(u"b"_s), heldB);
    auto edited = b;
    edited.title = u"Call dad"_s;
    store.put(edited);
    refreshMatchSession(session, {u"b"_s, u"c"_s, u"b"_s}, store);
    EXPECT_EQ(session.payload(u"b"_s)->title, u"Call dad"_s);
    EXPECT_EQ(ids(session.stableCandidates(edited)), QStringList {u"b"_s});
    EXPECT_TRUE(session.stableCandidates(b).isEmpty());
    EXPECT_FALSE(session.payload(u"c"_s));
    EXPECT_FALSE(session.index().contains(u"c"_s));
}

#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "sync/Strings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

// When each request of `path` (method GET) arrived, from journal entry `from` on.
QList<QDateTime> arrivals(const SyncE2eHarness &h, const QString &path, qsizetype from)
{
    QList<QDateTime> times;
    const QList<CloudJournalEntry> journal = h.server.journal();
    for (qsizetype i = from; i < journal.size(); ++i) {
        if (journal[i].request.method == u"GET"_s && journal[i].request.path() == path) {
            times << journal[i].request.receivedAt;
        }
    }
    return times;
}

qint64 smallestGapMs(const QList<QDateTime> &times)
{
    qint64 smallest = std::numeric_limits<qint64>::max();
    for (qsizetype i = 1; i < times.size(); ++i) {
        smallest = std::min(smallest, times[i - 1].msecsTo(times[i]));
    }
    return smallest;
}

void runFor(SyncE2eHarness &h, std::chrono::seconds duration)
{
    for (std::chrono::seconds passed {0}; passed < duration; passed += 1s) {
        h.clock.advance(1s);
    }
}

TEST(SyncE2e, SteadyLongPollKeepsTheHealthPollQuiet)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Quiet"_s});
    h.launch();
    ASSERT_TRUE(h.settle());
    const qsizetype mark = h.journalSize();
    runFor(h, 300s);

    const QList<QDateTime> waits = arrivals(h, u"/sync/wait"_s, mark);
    EXPECT_GE(waits.size(), 11);
    EXPECT_LE(waits.size(), 13) << "one held wait at a time, each held for 25 s";
    EXPECT_TRUE(arrivals(h, u"/sync"_s, mark).isEmpty()) << "no fallback pass while the long-poll answers";
    for (const CloudJournalEntry &entry : h.server.journalFor(u"/sync/wait"_s).mid(0, 1)) {
        EXPECT_EQ(entry.request.queryValue(u"timeout_ms"_s), u"25000"_s);
    }
}

TEST(SyncE2e, SilentLongPollFallsBackToTheHealthPollAfter90Seconds)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Fallback"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    // From now on every wait fails. The one being held still answers, when the phone writes.
    h.server.addFault(u"GET"_s, u"/sync/wait"_s, CloudFault::answer(503, R"({"error":"unavailable"})"), -1);
    h.phone->createReminder({.title = u"Last news"_s});
    ASSERT_TRUE(h.clock.runUntil(
        [&] { return h.localByTitle(u"Last news"_s).has_value() && !h.service->isCloudSyncRunnerActive(); }, 2min));
    const QDateTime lastAnswer = h.service->cloudRealtimeLastResponseAt();
    const qsizetype mark = h.journalSize();
    runFor(h, 240s);

    const QList<QDateTime> waits = arrivals(h, u"/sync/wait"_s, mark);
    ASSERT_GE(waits.size(), 10);
    EXPECT_GE(smallestGapMs(waits), 5000) << "5 s back-off after every failed wait";
    const QList<QDateTime> passes = arrivals(h, u"/sync"_s, mark);
    ASSERT_FALSE(passes.isEmpty()) << "the health poll must step in";
    const qint64 silence = lastAnswer.msecsTo(passes.first());
    EXPECT_GE(silence, 90000);
    EXPECT_LT(silence, 150000) << "the first 60 s tick after 90 s of silence";
    EXPECT_TRUE(h.logged(SyncText::logPassStartPrefix + SyncText::triggerHealthFallback + u"]"_s));
}

TEST(SyncE2e, ServerAnsweringAtOnceGetsAtMostOneWaitPerSecond)
{
    SyncE2eHarness h;
    h.localReminder({.title = u"Busy"_s});
    h.launch();
    ASSERT_TRUE(h.settle());

    const QByteArray unchanged = QJsonDocument(
        QJsonObject {{"changed"_L1, false}, {"current_cursor"_L1, h.model.currentCursor(h.userId)},
            {"generated_at"_L1,
                h.model.nowText()}}).toJson(QJsonDocument::Compact);
    CloudFault instant = CloudFault::answer(200, unchanged);
    instant.headers.set("Content-Type", "application/json");
    h.server.addFault(u"GET"_s, u"/sync/wait"_s, instant, -1);
    h.phone->createReminder({.title = u"Wake the held wait"_s});
    ASSERT_TRUE(h.clock.runUntil(
        [&] { return h.localByTitle(u"Wake the held wait"_s).has_value() && !h.service->isCloudSyncRunnerActive(); },
        2min));
    const qsizetype mark = h.journalSize();
    runFor(h, 20s);

    const QList<QDateTime> waits = arrivals(h, u"/sync/wait"_s, mark);
    ASSERT_GE(waits.size(), 15);
    EXPECT_LE(waits.size(), 21);
    EXPECT_GE(smallestGapMs(waits), 1000);
    EXPECT_TRUE(arrivals(h, u"/sync"_s, mark).isEmpty()) << "an unchanged answer starts no pass";
}

} // namespace
} // namespace quorvin::test

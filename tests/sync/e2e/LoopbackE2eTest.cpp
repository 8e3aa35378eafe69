#include "Convergence.h"
#include "SyncE2eHarness.h"
#include "platform/http/QtHttpSession.h"
#include "support/WaitFor.h"
#include "support/cloudserver/LoopbackCloudServer.h"
#include "sync/Strings.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace quorvin::test {
namespace {

// Runs the real event loop (real sockets) until `done`, moving the virtual clock along so that the
// service's own waits (debounces, idle steps) pass too.
bool pumpUntil(SyncE2eHarness &h, const std::function<bool()> &done, std::chrono::milliseconds realLimit = 20s)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > realLimit.count()) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
        h.clock.advance(100ms);
    }
    return true;
}

// The same exchange as the in-process scenarios, over a real HTTP listener on 127.0.0.1 and the
// application's own Qt network session.
TEST(SyncE2e, SyncsOverTheLoopbackListenerWithTheRealHttpSession)
{
    QtHttpSession http;
    SyncE2eHarness h(&http);
    LoopbackCloudServer listener(h.server);
    ASSERT_TRUE(listener.start());
    h.useBaseUrl(listener.baseUrl());

    h.localReminder({.title = u"Over the wire"_s, .notes = u"real sockets"_s});
    h.phone->createReminder({.title = u"From the phone"_s, .due = SyncE2eHarness::at(u"2026-01-06T01:30:00.000Z"_s)});

    h.defaults = std::make_unique<FileUserDefaults>(h.dir.filePath(u"defaults.json"_s), h.clock);
    h.service = std::make_unique<QuorvinMacService>(*h.defaults, http, h.clock, h.store);
    quorvin::test::waitFor(h.service->startIfNeeded());
    ASSERT_TRUE(pumpUntil(h, [&] { return h.isQuiet(); }));
    EXPECT_TRUE(converged(h));

    // A change on the phone reaches this machine through the held long-poll.
    h.phone->setTitle(h.phone->findByTitle(u"From the phone"_s), u"From the phone, renamed"_s);
    ASSERT_TRUE(pumpUntil(h, [&] { return h.localByTitle(u"From the phone, renamed"_s).has_value() && h.isQuiet(); }));
    EXPECT_TRUE(converged(h));
    EXPECT_GE(h.server.journalFor(u"/sync/wait"_s).size(), 1);
    EXPECT_TRUE(h.logged(SyncText::logPassStartPrefix + SyncText::triggerRealtimeWait + u"]"_s))
        << "released by the held wait";

    h.service->shutdown();
    listener.stop();
    // The long-poll's aborted request ends through the event loop: let it, so no task outlives the
    // service.
    QDeadlineTimer drained(200);
    pumpUntil(h, [&] { return drained.hasExpired(); });
    h.service.reset();
}

} // namespace
} // namespace quorvin::test

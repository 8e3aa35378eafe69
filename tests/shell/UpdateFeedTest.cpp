#include "platform/concurrency/ManualClock.h"
#include "platform/http/HttpSession.h"
#include "platform/http/TransportError.h"
#include "platform/shell/Appcast.h"
#include "platform/shell/FeedUpdater.h"
#include "platform/shell/UpdateUserDriver.h"
#include "platform/shell/VersionComparator.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace quorvin;

TEST(VersionComparator, StandardOrder)
{
    struct Row {
        const char *a;
        const char *b;
        int expected;
    };
    const Row rows[] = {
        {"1.0", "1.1", -1},
        {"1.0", "1.0", 0},
        {"2.0", "1.1", 1},
        {"0.1", "1.0", -1},
        {"1.0", "1.0.1", -1},
        {"1.0.0", "1.0", 1},
        {"1.10", "1.9", 1},
        {"10", "9", 1},
        {"1.0b1", "1.0", -1},
        {"1.0a1", "1.0b1", -1},
        {"1.0b10", "1.0b9", 1},
        {"1.0b", "1.0", -1},
        {"1.0 (1234)", "1.0 (1235)", -1},
        {"1.0-beta", "1.0.1", -1},
        {"1.0.0", "1.0a", 1},
        {"20240501", "20240430", 1},
        {"", "1", -1},
        {"", "", 0},
        {"99999999999999999999999", "1", 1},
    };
    for (const auto &row : rows) {
        const auto a = QString::fromUtf8(row.a);
        const auto b = QString::fromUtf8(row.b);
        EXPECT_EQ(VersionComparator::compare(a, b), row.expected) << row.a << " vs " << row.b;
        EXPECT_EQ(VersionComparator::compare(b, a), -row.expected) << row.b << " vs " << row.a;
    }
    EXPECT_EQ(VersionComparator::parts(QStringLiteral("1.0b12 (3)")),
        (QStringList {"1", ".", "0", "b", "12", " ", "(", "3", ")"}));
}

namespace {

const QByteArray sampleFeed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:up="https://example.invalid/xml-namespaces/updates">
  <channel>
    <title>Quorvin</title>
    <item>
      <title>Quorvin 1.2</title>
      <link>https://quorvin.invalid/releases/1.2</link>
      <up:version>120</up:version>
      <up:shortVersionString>1.2</up:shortVersionString>
      <enclosure url="https://quorvin.invalid/quorvin-1.2.tar.gz" up:version="999" length="10" type="application/octet-stream"/>
      <up:deltas>
        <enclosure url="https://quorvin.invalid/d.delta" up:version="120" up:deltaFrom="110"/>
      </up:deltas>
    </item>
    <item>
      <title>Quorvin 1.3 for another platform</title>
      <enclosure url="https://quorvin.invalid/q.dmg" up:version="130" up:shortVersionString="1.3" up:os="macos"/>
    </item>
    <item>
      <title>Delta to 1.4</title>
      <enclosure url="https://quorvin.invalid/q.delta" up:version="140" up:deltaFrom="120"/>
    </item>
    <item>
      <title>Quorvin 1.2 again</title>
      <enclosure url="https://quorvin.invalid/again.tar.gz" up:version="120" up:shortVersionString="1.2-second"/>
    </item>
    <item>
      <title>No version</title>
      <enclosure url="https://quorvin.invalid/none.tar.gz"/>
    </item>
    <item>
      <title>Local file</title>
      <link>file:///etc/passwd</link>
      <enclosure url="file:///bin/sh" up:version="100" up:os="linux"/>
    </item>
  </channel>
</rss>)";

} // namespace

TEST(Appcast, ParsesReleasesAndPicksTheNewestFullLinuxBuild)
{
    const auto appcast = Appcast::parse(sampleFeed);
    ASSERT_TRUE(appcast);
    ASSERT_EQ(appcast->items.size(), 5);
    const auto &first = appcast->items[0];
    EXPECT_EQ(first.title, QStringLiteral("Quorvin 1.2"));
    // The item's own element beats its enclosure's attribute; the listed deltas are not items.
    EXPECT_EQ(first.versionString, QStringLiteral("120"));
    EXPECT_EQ(first.displayVersionString, QStringLiteral("1.2"));
    EXPECT_FALSE(first.isDeltaUpdate);
    EXPECT_TRUE(first.isLinuxUpdate());
    EXPECT_EQ(first.downloadPage(), QUrl(QStringLiteral("https://quorvin.invalid/releases/1.2")));
    EXPECT_FALSE(appcast->items[1].isLinuxUpdate());
    EXPECT_TRUE(appcast->items[2].isDeltaUpdate);
    EXPECT_EQ(appcast->items[2].displayVersionString, QStringLiteral("140"));
    EXPECT_EQ(appcast->items[3].downloadPage(), QUrl(QStringLiteral("https://quorvin.invalid/again.tar.gz")));
    // Addresses other than web pages are dropped.
    EXPECT_FALSE(appcast->items[4].downloadPage().isValid());

    // Equal versions: the first in the feed stays.
    ASSERT_TRUE(appcast->newestFullItem());
    EXPECT_EQ(appcast->newestFullItem()->displayVersionString, QStringLiteral("1.2"));
    EXPECT_TRUE(appcast->newestUpdate(QStringLiteral("110")));
    EXPECT_FALSE(appcast->newestUpdate(QStringLiteral("120")));
    EXPECT_FALSE(appcast->newestUpdate(QStringLiteral("121")));

    EXPECT_FALSE(Appcast::parse("<html><body/></html>"));
    EXPECT_FALSE(Appcast::parse("<rss><channel><item>"));
    const auto empty = Appcast::parse("<rss version=\"2.0\"><channel/></rss>");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->newestFullItem());
}

namespace {

class CannedHttp final : public HttpSession {
public:
    int status = 200;
    QByteArray body;
    bool unreachable = false;
    int requests = 0;

    QCoro::Task<HttpResponse> send(HttpRequest request) override
    {
        ++requests;
        lastUrl = request.url;
        co_await Clock::system().yield();
        if (unreachable) {
            throw TransportError(TransportError::Kind::CannotFindHost, QStringLiteral("host not found"));
        }
        co_return HttpResponse {status, {}, body};
    }
    QUrl lastUrl;
};

class RecordingDriver final : public UpdateUserDriver {
public:
    QStringList shown;
    void showUpdateFound(const AppcastItem &item) override
    {
        shown << QStringLiteral("found ") + item.displayVersionString;
    }
    void showUpToDate() override { shown << QStringLiteral("up to date"); }
    void showUpdateCheckFailed(const QString &reason) override { shown << QStringLiteral("failed ") + reason; }
};

} // namespace

TEST(FeedUpdater, QuietChecksOnlyReportTheFeedAndChecksTheUserAskedForShowTheOutcome)
{
    CannedHttp http;
    http.body = sampleFeed;
    RecordingDriver driver;
    EXPECT_EQ(FeedUpdater::placeholderFeedUrl().host(), QStringLiteral("updates.quorvin.invalid"));
    FeedUpdater updater(http, FeedUpdater::placeholderFeedUrl(), QStringLiteral("110"), driver);
    QSignalSpy loaded(&updater, &Updater::didFinishLoading);

    updater.checkForUpdateInformation();
    EXPECT_TRUE(updater.sessionInProgress());
    updater.checkForUpdateInformation();
    ManualClock::drainEvents();
    EXPECT_FALSE(updater.sessionInProgress());
    EXPECT_EQ(http.requests, 1);
    EXPECT_EQ(http.lastUrl, FeedUpdater::placeholderFeedUrl());
    EXPECT_EQ(loaded.count(), 1);
    EXPECT_TRUE(driver.shown.isEmpty());

    // Asked for while a quiet check runs: that check's outcome is shown.
    updater.checkForUpdateInformation();
    updater.checkForUpdates();
    ManualClock::drainEvents();
    EXPECT_EQ(http.requests, 2);
    EXPECT_EQ(driver.shown, QStringList {QStringLiteral("found 1.2")});

    http.status = 404;
    updater.checkForUpdateInformation();
    ManualClock::drainEvents();
    EXPECT_EQ(loaded.count(), 2);
    EXPECT_EQ(driver.shown.size(), 1);
    updater.checkForUpdates();
    ManualClock::drainEvents();
    EXPECT_EQ(driver.shown.last(), QStringLiteral("failed 更新源返回了 HTTP 404"));

    http.status = 200;
    http.body = "<html/>";
    updater.checkForUpdates();
    ManualClock::drainEvents();
    EXPECT_EQ(driver.shown.last(), QStringLiteral("failed 更新源的内容无法识别"));

    http.unreachable = true;
    updater.checkForUpdates();
    ManualClock::drainEvents();
    EXPECT_EQ(driver.shown.last(), QStringLiteral("failed 未能找到使用指定主机名的服务器。"));

    // Without a feed address a check finds nothing.
    FeedUpdater noFeed(http, QUrl(), QStringLiteral("110"), driver);
    noFeed.checkForUpdates();
    ManualClock::drainEvents();
    EXPECT_EQ(driver.shown.last(), QStringLiteral("up to date"));
    EXPECT_EQ(http.requests, 6);
}

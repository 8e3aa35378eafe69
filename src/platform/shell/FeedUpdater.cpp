#include "platform/shell/FeedUpdater.h"

#include "platform/concurrency/Spawn.h"
#include "platform/core/Error.h"
#include "platform/http/HttpSession.h"
#include "platform/shell/Strings.h"
#include "platform/shell/UpdateUserDriver.h"

namespace quorvin {

namespace {
constexpr auto feedTimeout = std::chrono::seconds(30);
}

QUrl FeedUpdater::placeholderFeedUrl()
{
    return QUrl(QStringLiteral("https://updates.quorvin.invalid/appcast.xml"));
}

FeedUpdater::FeedUpdater(
    HttpSession &http, QUrl feedUrl, QString installedBuild, UpdateUserDriver &driver, QObject *parent)
    : Updater(parent)
    , m_http(http)
    , m_feedUrl(std::move(feedUrl))
    , m_installedBuild(std::move(installedBuild))
    , m_driver(driver)
{
}

void FeedUpdater::checkForUpdateInformation()
{
    if (m_inProgress) {
        return;
    }
    m_inProgress = true;
    spawn(runSession(this), QStringLiteral("update check"));
}

void FeedUpdater::checkForUpdates()
{
    // A quiet check under way shows its outcome instead of starting another.
    m_interactive = true;
    if (m_inProgress) {
        return;
    }
    m_inProgress = true;
    spawn(runSession(this), QStringLiteral("update check"));
}

QCoro::Task<FeedUpdater::Loaded> FeedUpdater::load()
{
    if (m_feedUrl.isEmpty()) {
        co_return Loaded {Appcast {}, {}};
    }
    HttpRequest request;
    request.url = m_feedUrl;
    request.timeout = feedTimeout;
    try {
        const HttpResponse response = co_await m_http.send(request);
        if (response.status < 200 || response.status > 299) {
            co_return Loaded {std::nullopt, ShellText::updateFeedHttpStatus + QString::number(response.status)};
        }
        auto appcast = Appcast::parse(response.body);
        if (!appcast) {
            co_return Loaded {std::nullopt, ShellText::updateFeedUnreadable};
        }
        co_return Loaded {std::move(appcast), {}};
    } catch (const Error &error) {
        co_return Loaded {std::nullopt, error.description()};
    }
}

QCoro::Task<void> FeedUpdater::runSession(QPointer<FeedUpdater> self)
{
    const Loaded loaded = co_await load();
    const auto &appcast = loaded.appcast;
    if (!self) {
        co_return;
    }
    const bool interactive = m_interactive;
    m_inProgress = false;
    m_interactive = false;
    if (appcast) {
        Q_EMIT didFinishLoading(*appcast);
    }
    if (!self || !interactive) {
        co_return;
    }
    if (!appcast) {
        m_driver.showUpdateCheckFailed(loaded.failure);
    } else if (const auto update = appcast->newestUpdate(m_installedBuild)) {
        m_driver.showUpdateFound(*update);
    } else {
        m_driver.showUpToDate();
    }
}

} // namespace quorvin

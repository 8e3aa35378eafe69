#pragma once

#include "platform/shell/Updater.h"

#include <QPointer>
#include <QUrl>
#include <qcoro/qcorotask.h>

namespace quorvin {

class HttpSession;
class UpdateUserDriver;

// The update framework over an appcast feed fetched by HTTP. Without a feed address every check
// finds nothing. An update found by a check the user asked for goes to the user driver, which
// leads to the release's download page: there is no installer in the application itself.
class FeedUpdater final : public Updater {
    Q_OBJECT
public:
    // The feed's address while the product has none of its own: a reserved name that never
    // resolves, so checks find nothing until a real feed is configured.
    static QUrl placeholderFeedUrl();

    FeedUpdater(
        HttpSession &http, QUrl feedUrl, QString installedBuild, UpdateUserDriver &driver, QObject *parent = nullptr);

    bool sessionInProgress() const override { return m_inProgress; }
    void checkForUpdateInformation() override;
    void checkForUpdates() override;

    const QUrl &feedUrl() const { return m_feedUrl; }

private:
    struct Loaded {
        std::optional<Appcast> appcast;
        QString failure;
    };
    QCoro::Task<void> runSession(QPointer<FeedUpdater> self);
    QCoro::Task<Loaded> load();

    HttpSession &m_http;
    QUrl m_feedUrl;
    QString m_installedBuild;
    UpdateUserDriver &m_driver;
    bool m_inProgress = false;
    bool m_interactive = false;
};

} // namespace quorvin

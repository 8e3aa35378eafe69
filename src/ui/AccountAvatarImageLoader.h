#pragma once

#include "platform/concurrency/CancelToken.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include <optional>

namespace quorvin {

class Clock;
class HttpSession;

// Loads the account's avatar picture for every view that shows it, the way an image view that
// loads an address behaves: loading, then the picture or a failure. The request goes through the
// application's HTTP session and the picture is decoded away from the main thread, so the window
// never waits. A load is keyed by an identity text; a new identity drops the picture and whatever
// request is still running for the old one, and the same identity again changes nothing.
class AccountAvatarImageLoader : public QObject {
    Q_OBJECT
public:
    enum class Phase { Empty, Loading, Success, Failure };

    AccountAvatarImageLoader(HttpSession &http, Clock &clock, QObject *parent = nullptr);
    ~AccountAvatarImageLoader() override;

    // Without an address the loader is empty.
    void load(const std::optional<QUrl> &url, const QString &identity);

    Phase phase() const { return m_phase; }
    // The picture while the phase is Success; null otherwise.
    const QImage &image() const { return m_image; }
    const QString &identity() const { return m_identity; }

    // The longest side a picture is kept at; larger ones are scaled down when decoded.
    static constexpr int maxKeptDimension = 256;

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<void> fetch(QUrl url, quint64 generation, CancelToken cancel);
    void finish(quint64 generation, QImage image);

    HttpSession &m_http;
    Clock &m_clock;
    Phase m_phase = Phase::Empty;
    QImage m_image;
    QString m_identity;
    std::optional<QUrl> m_url;
    quint64 m_generation = 0;
    std::optional<CancelSource> m_request;
};

} // namespace quorvin

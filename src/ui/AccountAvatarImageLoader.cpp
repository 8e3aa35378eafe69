#include "ui/AccountAvatarImageLoader.h"

#include "platform/concurrency/Clock.h"
#include "platform/concurrency/Spawn.h"
#include "platform/http/HttpSession.h"

#include <QBuffer>
#include <QImageReader>
#include <QPointer>

#include <memory>

namespace quorvin {

namespace {

constexpr auto requestTimeout = std::chrono::seconds(30);

QImage decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    const int limit = AccountAvatarImageLoader::maxKeptDimension;
    if (size.isValid() && (size.width() > limit || size.height() > limit)) {
        reader.setScaledSize(size.scaled(limit, limit, Qt::KeepAspectRatio));
    }
    return reader.read();
}

} // namespace

AccountAvatarImageLoader::AccountAvatarImageLoader(HttpSession &http, Clock &clock, QObject *parent)
    : QObject(parent)
    , m_http(http)
    , m_clock(clock)
{
}

AccountAvatarImageLoader::~AccountAvatarImageLoader()
{
    if (m_request) {
        m_request->cancel();
    }
}

void AccountAvatarImageLoader::load(const std::optional<QUrl> &url, const QString &identity)
{
    if (identity == m_identity && url == m_url) {
        return;
    }
    m_identity = identity;
    m_url = url;
    ++m_generation;
    if (m_request) {
        m_request->cancel();
        m_request.reset();
    }
    m_image = QImage();
    if (!url || !url->isValid()) {
        m_phase = url ? Phase::Failure : Phase::Empty;
        Q_EMIT changed();
        return;
    }
    m_phase = Phase::Loading;
    m_request.emplace();
    spawn(fetch(*url, m_generation, m_request->token()), QStringLiteral("avatar image"));
    Q_EMIT changed();
}

QCoro::Task<void> AccountAvatarImageLoader::fetch(QUrl url, quint64 generation, CancelToken cancel)
{
    QPointer<AccountAvatarImageLoader> self(this);
    Clock &clock = m_clock;
    HttpSession &http = m_http;
    HttpRequest request;
    request.url = url;
    request.timeout = requestTimeout;
    request.cancel = cancel;
    QByteArray body;
    bool received = false;
    try {
        const HttpResponse response = co_await http.send(std::move(request));
        received = response.status >= 200 && response.status < 300;
        body = response.body;
    } catch (const std::exception &) {
        // A failed or cancelled request leaves the picture null: the views show their fallback.
    }
    auto decoded = std::make_shared<QImage>();
    if (received && !cancel.isCancelled()) {
        std::function<void()> work = [decoded, body] { *decoded = decode(body); };
        co_await clock.runOffMainThread(std::move(work));
    }
    if (self && !cancel.isCancelled()) {
        self->finish(generation, *decoded);
    }
}

void AccountAvatarImageLoader::finish(quint64 generation, QImage image)
{
    if (generation != m_generation) {
        return;
    }
    m_request.reset();
    m_image = std::move(image);
    m_phase = m_image.isNull() ? Phase::Failure : Phase::Success;
    Q_EMIT changed();
}

} // namespace quorvin

#include "platform/shell/PortalSystemAppearance.h"

#include "platform/shell/Strings.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace quorvin {

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
constexpr uint prefersDark = 1;
constexpr std::chrono::milliseconds firstRetry {1000};
constexpr std::chrono::milliseconds longestRetry {60000};
} // namespace

PortalSystemAppearance::PortalSystemAppearance(QDBusConnection bus, QObject *parent)
    : SystemAppearance(parent)
    , m_bus(std::move(bus))
{
    if (!m_bus.isConnected()) {
        return;
    }
    // The bus matches the change signal's arguments against the slot by type name, and knows the
    // name of the variant type only once it is registered; in a process whose first use of the
    // bus is this subscription it would not be yet, and the subscription would be refused.
    qRegisterMetaType<QDBusVariant>();
    subscribeOrRetry();
    read();
}

bool PortalSystemAppearance::subscribe()
{
    return m_bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
        SLOT(onSettingChanged(QString, QString, QDBusVariant)));
}

void PortalSystemAppearance::subscribeOrRetry()
{
    if (subscribe()) {
        if (m_failedSubscriptions > 0) {
            qInfo().noquote() << ShellText::appearanceSubscribed;
            m_failedSubscriptions = 0;
            // Changes made while nobody listened arrive as a reading that differs.
            read();
        }
        return;
    }
    ++m_failedSubscriptions;
    const auto delay = std::min(firstRetry * (1 << std::min(m_failedSubscriptions - 1, 6)), longestRetry);
    qWarning().noquote() << ShellText::appearanceSubscriptionFailed << m_bus.lastError().message()
                         << ShellText::appearanceRetryIn << delay.count() << "ms";
    QTimer::singleShot(delay, this, &PortalSystemAppearance::subscribeOrRetry);
}

void PortalSystemAppearance::read()
{
    auto message = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    message << appearanceNamespace << colorSchemeKey;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    const bool first = !m_known;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, first](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isError()) {
            return;
        }
        const ColorScheme scheme = schemeFromPortalValue(reply.value().variant());
        if (!m_known) {
            m_known = true;
            m_scheme = scheme;
            Q_EMIT colorSchemeRead(scheme);
        } else if (!first) {
            setScheme(scheme);
        }
        // A first reading answered after a change was signalled is older than that change.
    });
}

ColorScheme PortalSystemAppearance::schemeFromPortalValue(const QVariant &value)
{
    QVariant unwrapped = value;
    for (int depth = 0; depth < 4 && unwrapped.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth) {
        unwrapped = unwrapped.value<QDBusVariant>().variant();
    }
    switch (unwrapped.metaType().id()) {
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return unwrapped.toLongLong() == prefersDark ? ColorScheme::Dark : ColorScheme::Light;
    default:
        return ColorScheme::Light;
    }
}

void PortalSystemAppearance::onSettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value)
{
    if (nameSpace != appearanceNamespace || key != colorSchemeKey) {
        return;
    }
    m_known = true;
    setScheme(schemeFromPortalValue(value.variant()));
}

void PortalSystemAppearance::setScheme(ColorScheme scheme)
{
    if (scheme != m_scheme) {
        m_scheme = scheme;
        Q_EMIT colorSchemeChanged(scheme);
    }
}

} // namespace quorvin

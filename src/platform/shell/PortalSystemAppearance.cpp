#include "platform/shell/PortalSystemAppearance.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quorvin {

namespace {
const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
constexpr uint prefersDark = 1;
} // namespace

PortalSystemAppearance::PortalSystemAppearance(QDBusConnection bus, QObject *parent)
    : SystemAppearance(parent)
    , m_bus(std::move(bus))
{
    if (!m_bus.isConnected()) {
        return;
    }
    m_bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
        SLOT(onSettingChanged(QString, QString, QDBusVariant)));

    auto message = QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    message << appearanceNamespace << colorSchemeKey;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        // A change signalled while the first read was under way is newer than its answer.
        if (!reply.isError() && !m_changeSeen) {
            setScheme(schemeFromPortalValue(reply.value().variant()));
        }
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
    m_changeSeen = true;
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

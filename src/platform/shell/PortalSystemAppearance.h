#pragma once

#include "platform/shell/SystemAppearance.h"

#include <QDBusConnection>
#include <QDBusVariant>

namespace quorvin {

// The colour-scheme preference that the desktop publishes through its settings portal
// (namespace "org.freedesktop.appearance", key "color-scheme"), followed live through the
// portal's change signal.
//
// The first value is asked for without blocking start-up: until the portal answers, and for good
// when there is no portal or no session bus, the scheme is light. That first answer is a reading,
// not a change. A subscription the bus refuses is logged and tried again, with a fresh reading once
// it holds, so a change made meanwhile is not lost.
class PortalSystemAppearance final : public SystemAppearance {
    Q_OBJECT
public:
    explicit PortalSystemAppearance(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    ColorScheme colorScheme() const override { return m_scheme; }

    // The portal's value: 1 means the user prefers dark; 0 (no preference), 2 (prefers light) and
    // anything unexpected read as light. Values may arrive wrapped in variants, once or twice.
    static ColorScheme schemeFromPortalValue(const QVariant &value);

private Q_SLOTS:
    void onSettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);

private:
    bool subscribe();
    void subscribeOrRetry();
    void read();
    void setScheme(ColorScheme scheme);

    QDBusConnection m_bus;
    ColorScheme m_scheme = ColorScheme::Light;
    // The first value is known: from then on every new value is a change.
    bool m_known = false;
    int m_failedSubscriptions = 0;
};

} // namespace quorvin

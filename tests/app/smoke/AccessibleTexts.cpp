#include "AccessibleTexts.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QUuid>

#include <utility>

namespace quorvin::test {

namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

struct ObjectRef {
    QString service;
    QDBusObjectPath path;
};

QList<ObjectRef> children(const QDBusConnection &bus, const ObjectRef &object)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path.path(), accessibleInterface, QStringLiteral("GetChildren"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    QList<ObjectRef> found;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return found;
    }
    // a(so): the bus name and object path of each child.
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        ObjectRef child;
        argument.beginStructure();
        argument >> child.service >> child.path;
        argument.endStructure();
        found.append(child);
    }
    argument.endArray();
    return found;
}

QString name(const QDBusConnection &bus, const ObjectRef &object)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        object.service, object.path.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << accessibleInterface << QStringLiteral("Name");
    const QDBusReply<QDBusVariant> reply = bus.call(call, QDBus::Block, 5000);
    return reply.isValid() ? reply.value().variant().toString() : QString();
}

} // namespace

AccessibleTexts::AccessibleTexts(const QString &sessionBusAddress)
{
    if (sessionBusAddress.isEmpty()) {
        m_reason = QStringLiteral("no session bus");
        return;
    }
    m_sessionConnection = QStringLiteral("smoke-session-") + QUuid::createUuid().toString(QUuid::Id128);
    const QDBusConnection session = QDBusConnection::connectToBus(sessionBusAddress, m_sessionConnection);
    if (!session.isConnected()) {
        m_reason = QStringLiteral("the session bus did not answer");
        return;
    }
    const QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"),
        QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = session.call(call, QDBus::Block, 10000);
    if (!address.isValid() || address.value().isEmpty()) {
        m_reason = QStringLiteral("no accessibility bus: ") + address.error().message();
        return;
    }
    const QString a11yName = QStringLiteral("smoke-a11y-") + QUuid::createUuid().toString(QUuid::Id128);
    if (!QDBusConnection::connectToBus(address.value(), a11yName).isConnected()) {
        m_reason = QStringLiteral("the accessibility bus did not answer");
        QDBusConnection::disconnectFromBus(a11yName);
        return;
    }
    m_a11yConnection = a11yName;
}

AccessibleTexts::~AccessibleTexts()
{
    if (!m_a11yConnection.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_a11yConnection);
    }
    if (!m_sessionConnection.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_sessionConnection);
    }
}

QStringList AccessibleTexts::names() const
{
    QStringList found;
    if (!isAvailable()) {
        return found;
    }
    const QDBusConnection bus(m_a11yConnection);
    QList<ObjectRef> pending = children(bus,
        {QStringLiteral("org.a11y.atspi.Registry"),
            QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))});
    // A bound against a tree that points back at itself.
    for (int visited = 0; !pending.isEmpty() && visited < 5000; ++visited) {
        const ObjectRef object = pending.takeFirst();
        const QString text = name(bus, object);
        if (!text.isEmpty()) {
            found.append(text);
        }
        pending.append(children(bus, object));
    }
    return found;
}

} // namespace quorvin::test

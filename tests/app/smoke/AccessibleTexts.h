#pragma once

#include <QString>
#include <QStringList>

namespace quorvin::test {

// Reads what the programs on a session bus show, the way a screen reader does: through the
// desktop's accessibility bus, whose registry lists every program that exposes its widgets.
class AccessibleTexts {
public:
    explicit AccessibleTexts(const QString &sessionBusAddress);
    ~AccessibleTexts();
    AccessibleTexts(const AccessibleTexts &) = delete;
    AccessibleTexts &operator=(const AccessibleTexts &) = delete;

    // Empty when the accessibility bus could not be reached; reason() says why.
    bool isAvailable() const { return !m_a11yConnection.isEmpty(); }
    const QString &reason() const { return m_reason; }

    // The names of every visible accessible object of every registered program.
    QStringList names() const;

private:
    QString m_sessionConnection;
    QString m_a11yConnection;
    QString m_reason;
};

} // namespace quorvin::test

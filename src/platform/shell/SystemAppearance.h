#pragma once

#include "platform/shell/ColorScheme.h"

#include <QObject>

namespace quorvin {

// The desktop's own light or dark preference, and news when the user changes it.
class SystemAppearance : public QObject {
    Q_OBJECT
public:
    ~SystemAppearance() override = default;

    virtual ColorScheme colorScheme() const = 0;

Q_SIGNALS:
    // The user changed the desktop's scheme. Emitted only when the scheme really changes.
    void colorSchemeChanged(quorvin::ColorScheme scheme);
    // The desktop's scheme became known for the first time after start-up. Not a change of the
    // user's choice: the application takes the look it should have had from the start.
    void colorSchemeRead(quorvin::ColorScheme scheme);

protected:
    explicit SystemAppearance(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
};

} // namespace quorvin

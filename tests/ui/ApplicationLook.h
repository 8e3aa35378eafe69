#pragma once

#include "platform/shell/FusionPalette.h"

#include <QApplication>

namespace quorvin::test {

// The application in one look for the length of a test, as the appearance controller puts it:
// through the application palette. The look before is back afterwards.
class ApplicationLook {
public:
    explicit ApplicationLook(ColorScheme scheme)
        : m_before(QApplication::palette())
    {
        set(scheme);
    }
    ~ApplicationLook()
    {
        QApplication::setPalette(m_before);
        QCoreApplication::processEvents();
    }
    ApplicationLook(const ApplicationLook &) = delete;
    ApplicationLook &operator=(const ApplicationLook &) = delete;

    // Widgets hear of the new palette through posted events, delivered here.
    void set(ColorScheme scheme)
    {
        QApplication::setPalette(FusionPalette::palette(scheme));
        QCoreApplication::processEvents();
    }

private:
    QPalette m_before;
};

} // namespace quorvin::test

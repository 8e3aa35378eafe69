#pragma once

#include "platform/shell/SystemAppearance.h"

namespace quorvin {

// A desktop preference that tests switch by hand.
class FakeSystemAppearance final : public SystemAppearance {
    Q_OBJECT
public:
    explicit FakeSystemAppearance(ColorScheme scheme = ColorScheme::Light, QObject *parent = nullptr)
        : SystemAppearance(parent)
        , m_scheme(scheme)
    {
    }

    ColorScheme colorScheme() const override { return m_scheme; }

    void setColorScheme(ColorScheme scheme)
    {
        if (scheme != m_scheme) {
            m_scheme = scheme;
            Q_EMIT colorSchemeChanged(scheme);
        }
    }

    // The first answer of a desktop that was asked at start-up.
    void answerFirstRead(ColorScheme scheme)
    {
        m_scheme = scheme;
        Q_EMIT colorSchemeRead(scheme);
    }

private:
    ColorScheme m_scheme;
};

} // namespace quorvin

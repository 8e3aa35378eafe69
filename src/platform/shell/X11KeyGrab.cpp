#include "platform/shell/X11KeyGrab.h"

namespace quorvin::X11KeyGrab {

std::uint16_t modifierMask(Qt::KeyboardModifiers modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier) {
        mask |= shiftMask;
    }
    if (modifiers & Qt::ControlModifier) {
        mask |= controlMask;
    }
    if (modifiers & Qt::AltModifier) {
        mask |= mod1Mask;
    }
    if (modifiers & Qt::MetaModifier) {
        mask |= mod4Mask;
    }
    return mask;
}

std::optional<std::uint32_t> keysym(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return static_cast<std::uint32_t>(key - Qt::Key_A + 'a');
    }
    if (key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis) {
        return static_cast<std::uint32_t>(key);
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        constexpr std::uint32_t f1 = 0xffbe;
        return f1 + static_cast<std::uint32_t>(key - Qt::Key_F1);
    }
    return std::nullopt;
}

QList<std::uint16_t> modifierVariants(std::uint16_t modifiers, std::uint16_t numLockMask)
{
    QList<std::uint16_t> variants;
    for (const std::uint16_t locks : {std::uint16_t(0), numLockMask, lockMask, std::uint16_t(numLockMask | lockMask)}) {
        const std::uint16_t variant = modifiers | locks;
        if (!variants.contains(variant)) {
            variants.append(variant);
        }
    }
    return variants;
}

bool matches(std::uint16_t eventState, std::uint16_t modifiers, std::uint16_t numLockMask)
{
    const std::uint16_t ignored = numLockMask | lockMask;
    return (eventState & allModifiers & ~ignored) == (modifiers & ~ignored);
}

} // namespace quorvin::X11KeyGrab

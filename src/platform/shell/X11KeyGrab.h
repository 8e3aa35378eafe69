#pragma once

#include <QKeyCombination>
#include <QList>

#include <cstdint>
#include <optional>

namespace quorvin::X11KeyGrab {

// X11 core modifier bits.
inline constexpr std::uint16_t shiftMask = 1 << 0;
inline constexpr std::uint16_t lockMask = 1 << 1;
inline constexpr std::uint16_t controlMask = 1 << 2;
inline constexpr std::uint16_t mod1Mask = 1 << 3;
inline constexpr std::uint16_t mod4Mask = 1 << 6;
inline constexpr std::uint16_t allModifiers = 0xff;

// The modifier bits of a combination: Shift, Control, Alt as Mod1, Meta as Mod4.
std::uint16_t modifierMask(Qt::KeyboardModifiers modifiers);

// The key symbol of a combination's key: Latin-1 keys (letters in lower case) and F1 to F12.
// Absent for any other key.
std::optional<std::uint32_t> keysym(Qt::Key key);

// A grab matches only the exact modifier state it names, and the lock keys add their bits to the
// state: one grab per combination of Num Lock and Caps Lock makes the key work whichever lock is
// on. Returns `modifiers` alone and with each subset of the two lock bits, without repeats.
QList<std::uint16_t> modifierVariants(std::uint16_t modifiers, std::uint16_t numLockMask);

// Whether an event's modifier state is `modifiers`, whatever the lock keys and pointer buttons.
bool matches(std::uint16_t eventState, std::uint16_t modifiers, std::uint16_t numLockMask);

} // namespace quorvin::X11KeyGrab

#pragma once

namespace quorvin {

// The two looks the desktop and the application can be in.
enum class ColorScheme { Light, Dark };

} // namespace quorvin

#pragma once

namespace quorvin::QuorvinTextStyle {

// Pixel sizes of the named text styles the views use besides their fixed sizes.
inline constexpr int caption = 11;
inline constexpr int caption2 = 10;
inline constexpr int footnote = 11;
inline constexpr int body = 13;
inline constexpr int headline = 13;
inline constexpr int title3 = 15;

} // namespace quorvin::QuorvinTextStyle

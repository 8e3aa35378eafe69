#pragma once

namespace quorvin {

// How the codec writes an optional field that holds no value. Reading always takes a missing key
// and a null alike as absent.
enum class WhenAbsent { Omit, WriteNull };

} // namespace quorvin

#pragma once

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace quorvin {

// Hash step for an optional field: a presence mark, then the value when present, so that an
// absent field and an empty one hash apart.
template <class T> size_t hashOptionalField(size_t seed, const std::optional<T> &field) noexcept
{
    seed = qHashMulti(seed, field.has_value());
    return field ? qHashMulti(seed, *field) : seed;
}

} // namespace quorvin

#include "model/CloudUserProfilePayload.h"

#include "model/FieldHash.h"

namespace quorvin {

size_t qHash(const CloudUserProfilePayload &value, size_t seed) noexcept
{
    seed = hashOptionalField(seed, value.nickname);
    seed = hashOptionalField(seed, value.avatar_url);
    seed = hashOptionalField(seed, value.password_set);
    return hashOptionalField(seed, value.updated_at);
}

} // namespace quorvin

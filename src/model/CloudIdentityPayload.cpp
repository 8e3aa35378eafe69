#include "model/CloudIdentityPayload.h"

#include "model/FieldHash.h"

namespace quorvin {

size_t qHash(const CloudIdentityPayload &value, size_t seed) noexcept
{
    for (const auto *field : {&value.identity_id, &value.provider, &value.provider_subject, &value.display_label,
             &value.linked_at, &value.last_login_at}) {
        seed = hashOptionalField(seed, *field);
    }
    return seed;
}

} // namespace quorvin

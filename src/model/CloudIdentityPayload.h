#pragma once

#include "model/JsonField.h"

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One sign-in identity linked to the account.
struct CloudIdentityPayload {
    std::optional<QString> identity_id {};
    std::optional<QString> provider {};
    std::optional<QString> provider_subject {};
    std::optional<QString> display_label {};
    std::optional<QString> linked_at {};
    std::optional<QString> last_login_at {};

    friend bool operator==(const CloudIdentityPayload &, const CloudIdentityPayload &) = default;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("identity_id", s.identity_id);
        v("provider", s.provider);
        v("provider_subject", s.provider_subject);
        v("display_label", s.display_label);
        v("linked_at", s.linked_at);
        v("last_login_at", s.last_login_at);
    }
};

// Combines every field in order, each as a presence mark and then its value.
size_t qHash(const CloudIdentityPayload &value, size_t seed = 0) noexcept;

} // namespace quorvin

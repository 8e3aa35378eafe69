#pragma once

#include "model/JsonField.h"

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// The user's profile.
struct CloudUserProfilePayload {
    std::optional<QString> nickname {};
    std::optional<QString> avatar_url {};
    std::optional<bool> password_set {};
    std::optional<QString> updated_at {};

    friend bool operator==(const CloudUserProfilePayload &, const CloudUserProfilePayload &) = default;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("nickname", s.nickname);
        v("avatar_url", s.avatar_url);
        v("password_set", s.password_set);
        v("updated_at", s.updated_at);
    }
};

// Combines every field in order, each as a presence mark and then its value.
size_t qHash(const CloudUserProfilePayload &value, size_t seed = 0) noexcept;

} // namespace quorvin

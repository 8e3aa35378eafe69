#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Body of the profile update; only the keys being changed are sent.
struct CloudUserProfileUpdateRequest {
    std::optional<QString> nickname {};
    std::optional<QString> avatar_url {};
    std::optional<QString> new_password {};
    std::optional<QString> current_password {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("nickname", s.nickname);
        v("avatar_url", s.avatar_url);
        v("new_password", s.new_password);
        v("current_password", s.current_password);
    }
};

} // namespace quorvin

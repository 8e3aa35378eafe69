#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Body of the avatar upload.
struct CloudUserAvatarUploadRequest {
    QString content_type {};
    QString data_base64 {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("content_type", s.content_type);
        v("data_base64", s.data_base64);
    }
};

} // namespace quorvin

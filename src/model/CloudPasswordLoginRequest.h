#pragma once

#include "model/JsonField.h"

#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// Body of the password sign-in.
struct CloudPasswordLoginRequest {
    QString phone_number {};
    QString password {};
    QString client_kind {};
    std::optional<QString> device_id {};
    std::optional<QString> device_label {};
    std::optional<QString> platform {};
    std::optional<QString> app_version {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("phone_number", s.phone_number);
        v("password", s.password);
        v("client_kind", s.client_kind);
        v("device_id", s.device_id);
        v("device_label", s.device_label);
        v("platform", s.platform);
        v("app_version", s.app_version);
    }
};

} // namespace quorvin

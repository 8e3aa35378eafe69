#pragma once

#include "model/JsonField.h"

#include <QHashFunctions>
#include <QList>
#include <QString>

#include <optional>

namespace quorvin {

// One device session of the account, as the device list shows it.
struct CloudDeviceSessionPayload {
    std::optional<QString> session_id {};
    std::optional<QString> device_id {};
    std::optional<QString> client_kind {};
    std::optional<QString> created_at {};
    std::optional<QString> last_seen_at {};
    std::optional<QString> revoked_at {};
    std::optional<QString> device_label {};
    std::optional<QString> platform {};
    std::optional<QString> app_version {};

    friend bool operator==(const CloudDeviceSessionPayload &, const CloudDeviceSessionPayload &) = default;

    // Identifies the row in the device list: the trimmed session id, or else the trimmed client
    // kind, device id and creation time that are present, joined with ":"; never encoded.
    QString id() const;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("session_id", s.session_id);
        v("device_id", s.device_id);
        v("client_kind", s.client_kind);
        v("created_at", s.created_at);
        v("last_seen_at", s.last_seen_at);
        v("revoked_at", s.revoked_at);
        v("device_label", s.device_label);
        v("platform", s.platform);
        v("app_version", s.app_version);
    }
};

// Combines every field in order, each as a presence mark and then its value.
size_t qHash(const CloudDeviceSessionPayload &value, size_t seed = 0) noexcept;

} // namespace quorvin

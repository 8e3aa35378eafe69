#pragma once

#include <QString>

namespace quorvin {

// The account and cursor part of a diagnostics report. Says whether a token is held, never which.
struct DiagnosticCloudStateSnapshot {
    QString base_url;
    QString user_id;
    QString session_id;
    QString session_device_id;
    QString session_client_kind;
    QString pull_cursor;
    QString push_cursor;
    bool auth_token_configured = false;

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("base_url", s.base_url);
        v("user_id", s.user_id);
        v("session_id", s.session_id);
        v("session_device_id", s.session_device_id);
        v("session_client_kind", s.session_client_kind);
        v("pull_cursor", s.pull_cursor);
        v("push_cursor", s.push_cursor);
        v("auth_token_configured", s.auth_token_configured);
    }
};

} // namespace quorvin

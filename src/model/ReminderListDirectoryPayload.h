#pragma once

#include "model/JsonField.h"

#include <QString>

#include <optional>

namespace quorvin {

// One reminder list.
struct ReminderListDirectoryPayload {
    QString list_id {};
    QString list_name {};
    std::optional<QString> icon_kind {};
    std::optional<QString> icon_value {};
    std::optional<QString> theme_color {};
    std::optional<qint64> sort_order {};
    std::optional<QString> last_modified {};
    std::optional<QString> source {};
    std::optional<QString> source_list_id {};

    template <class S, class V> static void fields(S &s, V &v)
    {
        v("list_id", s.list_id);
        v("list_name", s.list_name);
        v("icon_kind", s.icon_kind);
        v("icon_value", s.icon_value);
        v("theme_color", s.theme_color);
        v("sort_order", s.sort_order);
        v("last_modified", s.last_modified);
        v("source", s.source);
        v("source_list_id", s.source_list_id);
    }
};

} // namespace quorvin

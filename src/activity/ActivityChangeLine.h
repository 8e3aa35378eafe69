#pragma once

#include <QString>
#include <QStringList>

namespace quorvin {

// One visible change of a reminder or a list, worded for the activity log. The echo keys are
// built from these fields, so two lines describing the same change compare equal through them.
struct ActivityChangeLine {
    QString action;
    // "任务" for a reminder, "列表" for a list.
    QString entityName;
    // The reminder's local id, or the list's id.
    QString entityID;
    // The display title: trimmed, "未命名" when empty.
    QString title;
    QString summary;
    QStringList details;

    friend bool operator==(const ActivityChangeLine &, const ActivityChangeLine &) = default;
};

} // namespace quorvin

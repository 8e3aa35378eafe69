#pragma once

#include <QString>

namespace quorvin {

// A local recurring completion about to be uploaded: the series advanced to a new reminder
// (`activeLocalID`) while the completed one (`completedLocalID`) keeps the server item
// (`serverID`). The upload writes the new reminder to that server item.
struct LocalRecurringCompletionUploadPair {
    QString serverID;
    QString activeLocalID;
    QString completedLocalID;
};

} // namespace quorvin

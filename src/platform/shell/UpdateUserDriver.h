#pragma once

#include "platform/shell/AppcastItem.h"

namespace quorvin {

// What the user sees of a check they asked for. The application supplies it, in its own words.
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;

    // A newer release exists; the user may go to item.downloadPage().
    virtual void showUpdateFound(const AppcastItem &item) = 0;
    // The feed offers nothing newer than the installed build.
    virtual void showUpToDate() = 0;
    // The feed could not be read; `reason` is readable.
    virtual void showUpdateCheckFailed(const QString &reason) = 0;
};

} // namespace quorvin

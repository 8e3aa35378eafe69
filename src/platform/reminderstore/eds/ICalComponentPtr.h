#pragma once

#include <libical/ical.h>

#include <memory>

namespace quorvin {

struct ICalComponentFree {
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};

// An iCalendar component owned by its holder.
using ICalComponentPtr = std::unique_ptr<icalcomponent, ICalComponentFree>;

} // namespace quorvin

#pragma once

#include <QString>

namespace quorvin {

// A lost mapping found again: the local reminder is the server item with this id.
struct CloudRestartMappingRepair {
    QString serverID;
    QString localID;

    friend bool operator==(const CloudRestartMappingRepair &, const CloudRestartMappingRepair &) = default;
};

} // namespace quorvin

#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace quorvin {

// What the server is known to hold, as a push sees it: the source id the server reported for each
// of its reminder ids, and optionally every source id and every server id it holds. An absent set
// is unknown and never makes a mapping stale.
struct CloudRemoteIdentities {
    QHash<QString, QString> sourceIdentityByServerID;
    std::optional<QSet<QString>> sourceIdentities;
    std::optional<QSet<QString>> serverIDs;
    // The other way round: the server ids, in ascending order, that carry each source id.
    QHash<QString, QStringList> serverIDsBySourceIdentity;
};

} // namespace quorvin

#pragma once

#include <QHash>
#include <QString>

#include <optional>
#include <set>

namespace quorvin {

class UserDefaults;

// The pairs of server id and local id for one kind of item (reminders or lists). A server id maps
// to one local id; a local id can be reached from several server ids unless a writer asks for
// uniqueness. Ids are used exactly as given.
//
// The server ids of one local id are kept ordered, so "the first server id" of a local id is its
// smallest one and never depends on hashing.
class CloudIDMappingIndex {
public:
    using ServerIDSet = std::set<QString>;

    CloudIDMappingIndex() = default;
    explicit CloudIDMappingIndex(QHash<QString, QString> serverToLocal);

    const QHash<QString, QString> &serverToLocal() const { return m_serverToLocal; }
    const QHash<QString, ServerIDSet> &localToServers() const { return m_localToServers; }

    std::optional<QString> localID(const QString &serverID) const;
    // Empty when the local id has no server id.
    ServerIDSet serverIDs(const QString &localID) const;
    std::optional<QString> firstServerID(const QString &localID) const;
    bool containsServerID(const QString &serverID) const { return m_serverToLocal.contains(serverID); }
    bool containsLocalID(const QString &localID) const { return m_localToServers.contains(localID); }

    // Records one pair. With `uniqueLocalID` every other server id of that local id is dropped.
    void set(const QString &serverID, const QString &localID, bool uniqueLocalID);
    void remove(const QString &serverID);
    // Empties both maps in place.
    void removeAll();

    // The number of mapped server ids.
    int recordCount() const { return int(m_serverToLocal.size()); }
    bool isEmpty() const { return m_serverToLocal.isEmpty(); }

    // Only the server-to-local map is stored; the reverse map is rebuilt on load. A missing key or
    // a value that is not a map of text to text loads as empty.
    static CloudIDMappingIndex load(const UserDefaults &defaults, const QString &key);
    // Stored as a JSON object of server id to local id, encoded when the settings are written.
    void save(UserDefaults &defaults, const QString &key) const;

private:
    void removeReverseAssociation(const QString &serverID, const QString &localID);

    QHash<QString, QString> m_serverToLocal;
    QHash<QString, ServerIDSet> m_localToServers;
};

} // namespace quorvin

#include "matching/CloudIDMappingIndex.h"

#include "platform/defaults/UserDefaults.h"

namespace quorvin {

CloudIDMappingIndex::CloudIDMappingIndex(QHash<QString, QString> serverToLocal)
    : m_serverToLocal(std::move(serverToLocal))
{
    for (auto it = m_serverToLocal.cbegin(); it != m_serverToLocal.cend(); ++it) {
        m_localToServers[it.value()].insert(it.key());
    }
}

std::optional<QString> CloudIDMappingIndex::localID(const QString &serverID) const
{
    const auto found = m_serverToLocal.constFind(serverID);
    if (found == m_serverToLocal.cend()) {
        return std::nullopt;
    }
    return *found;
}

CloudIDMappingIndex::ServerIDSet CloudIDMappingIndex::serverIDs(const QString &localID) const
{
    return m_localToServers.value(localID);
}

std::optional<QString> CloudIDMappingIndex::firstServerID(const QString &localID) const
{
    const auto found = m_localToServers.constFind(localID);
    if (found == m_localToServers.cend() || found->empty()) {
        return std::nullopt;
    }
    return *found->begin();
}

void CloudIDMappingIndex::set(const QString &serverID, const QString &localID, bool uniqueLocalID)
{
    if (uniqueLocalID) {
        const ServerIDSet others = m_localToServers.value(localID);
        for (const auto &other : others) {
            if (other == serverID) {
                continue;
            }
            const auto found = m_serverToLocal.constFind(other);
            if (found == m_serverToLocal.cend()) {
                continue;
            }
            const QString pointedAt = *found; // NOLINT(performance-unnecessary-copy-initialization): outlives the erase
            m_serverToLocal.erase(found);
            removeReverseAssociation(other, pointedAt);
        }
    }
    const auto existing = m_serverToLocal.constFind(serverID);
    if (existing != m_serverToLocal.cend() && *existing != localID) {
        removeReverseAssociation(serverID, *existing);
    }
    m_serverToLocal.insert(serverID, localID);
    m_localToServers[localID].insert(serverID);
}

void CloudIDMappingIndex::remove(const QString &serverID)
{
    const auto found = m_serverToLocal.constFind(serverID);
    if (found == m_serverToLocal.cend()) {
        return;
    }
    const QString localID = *found; // NOLINT(performance-unnecessary-copy-initialization): outlives the erase
    m_serverToLocal.erase(found);
    removeReverseAssociation(serverID, localID);
}

void CloudIDMappingIndex::removeAll()
{
    m_serverToLocal.clear();
    m_localToServers.clear();
}

void CloudIDMappingIndex::removeReverseAssociation(const QString &serverID, const QString &localID)
{
    const auto found = m_localToServers.find(localID);
    if (found == m_localToServers.end()) {
        return;
    }
    found->erase(serverID);
    if (found->empty()) {
        m_localToServers.erase(found);
    }
}

CloudIDMappingIndex CloudIDMappingIndex::load(const UserDefaults &defaults, const QString &key)
{
    QHash<QString, QString> serverToLocal;
    if (const auto stored = defaults.stringMap(key)) {
        serverToLocal.reserve(stored->size());
        for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
            serverToLocal.insert(it.key(), it.value());
        }
    }
    return CloudIDMappingIndex(std::move(serverToLocal));
}

void CloudIDMappingIndex::save(UserDefaults &defaults, const QString &key) const
{
    // A shared copy of the map: the writer encodes it, and the next change here detaches from it.
    defaults.setEncodedStringMap(key, m_serverToLocal);
}

} // namespace quorvin

#pragma once

#include "app/QuorvinAvailableUpdate.h"

#include <QStringList>

#include <optional>

namespace quorvin {

class UserDefaults;

// The update notices kept across launches: the last known available update, and every build
// already announced (in the order announced, never trimmed).
class QuorvinUpdateNoticeStore {
public:
    explicit QuorvinUpdateNoticeStore(UserDefaults &defaults)
        : m_defaults(defaults)
    {
    }

    // Absent when nothing is stored or the stored data does not decode.
    std::optional<QuorvinAvailableUpdate> latest() const;
    // Absent removes the stored notice.
    void setLatest(const std::optional<QuorvinAvailableUpdate> &update);

    QStringList announcedBuilds() const;
    void markAnnounced(const QString &build);

private:
    UserDefaults &m_defaults;
};

} // namespace quorvin

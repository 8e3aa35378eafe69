#include "app/QuorvinUpdateNoticeStore.h"

#include "app/Strings.h"
#include "platform/defaults/UserDefaults.h"

namespace quorvin {

std::optional<QuorvinAvailableUpdate> QuorvinUpdateNoticeStore::latest() const
{
    const auto data = m_defaults.bytes(AppText::updateNoticeLatestKey);
    return data ? QuorvinAvailableUpdate::decode(*data) : std::nullopt;
}

void QuorvinUpdateNoticeStore::setLatest(const std::optional<QuorvinAvailableUpdate> &update)
{
    if (update) {
        m_defaults.setBytes(AppText::updateNoticeLatestKey, update->encode());
    } else {
        m_defaults.remove(AppText::updateNoticeLatestKey);
    }
}

QStringList QuorvinUpdateNoticeStore::announcedBuilds() const
{
    return m_defaults.stringArray(AppText::updateNoticeAnnouncedKey).value_or(QStringList());
}

void QuorvinUpdateNoticeStore::markAnnounced(const QString &build)
{
    QStringList builds = announcedBuilds();
    if (!builds.contains(build)) {
        builds.append(build);
        m_defaults.setStringArray(AppText::updateNoticeAnnouncedKey, builds);
    }
}

} // namespace quorvin

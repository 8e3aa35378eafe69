#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quorvin {

// A build newer than the installed one, as the feed offered it.
struct QuorvinAvailableUpdate {
    // The feed item's version string, compared with the installed build.
    QString build;
    // The feed item's display version, shown to the user.
    QString version;

    friend bool operator==(const QuorvinAvailableUpdate &, const QuorvinAvailableUpdate &) = default;

    // JSON {"build": …, "version": …}.
    QByteArray encode() const;
    // Absent unless `data` is a JSON object with both keys as strings.
    static std::optional<QuorvinAvailableUpdate> decode(const QByteArray &data);
};

} // namespace quorvin

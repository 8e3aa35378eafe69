#pragma once

#include "platform/shell/AppcastItem.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace quorvin {

// An update feed: an RSS document whose items are releases, with the release fields in an
// extension namespace (version, shortVersionString, os, deltaFrom), either as child elements of
// the item or as attributes of its enclosure.
struct Appcast {
    QList<AppcastItem> items;

    // Absent when the document is not well-formed RSS. Items without a version are left out.
    static std::optional<Appcast> parse(const QByteArray &xml);

    // The newest full release for this platform that is newer than `installedBuild`: among the
    // Linux non-delta items, in feed order, a later item replaces the choice only when its
    // version is higher (the first of equal versions stays). Absent when the feed has no such
    // item, or its newest is not newer than the installed build.
    std::optional<AppcastItem> newestUpdate(const QString &installedBuild) const;
    // The newest Linux non-delta item, newer or not; absent when there is none.
    std::optional<AppcastItem> newestFullItem() const;
};

} // namespace quorvin

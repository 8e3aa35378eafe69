#pragma once

#include <QString>
#include <QUrl>

namespace quorvin {

// One release in the update feed.
struct AppcastItem {
    QString title;
    // Compared with the installed build (the feed's "version").
    QString versionString;
    // Shown to the user (the feed's "shortVersionString"); the version string when absent.
    QString displayVersionString;
    // The platform the release is for (the feed's "os"); empty means the feed's default.
    QString os;
    // A delta release patches one earlier build and is never a full download.
    bool isDeltaUpdate = false;
    // The release's own page, and the file to download.
    QUrl infoUrl;
    QUrl downloadUrl;

    // For this platform: marked "linux", or not marked at all.
    bool isLinuxUpdate() const;
    // Where the user goes to get it: the release page, else the file itself.
    QUrl downloadPage() const { return infoUrl.isValid() ? infoUrl : downloadUrl; }
};

} // namespace quorvin

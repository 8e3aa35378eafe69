#pragma once

#include <QString>

#include <optional>

namespace quorvin {

class UserDefaults;

// The directory chosen for exporting attachments, remembered in the settings. On this platform a
// "bookmark" is a small JSON document holding the directory's absolute path; it resolves when the
// path still names a directory, and it is stale when the stored path is not the directory's
// canonical path (a symbolic link, "..", a trailing slash), in which case the canonical path is
// stored in its place.
class ShortcutAttachmentDirectoryBookmarkStore {
public:
    ShortcutAttachmentDirectoryBookmarkStore() = delete;

    // The directory the stored bookmark points to, or none. Never throws and never logs; data that
    // does not resolve is left as it is.
    static std::optional<QString> resolvedDirectoryURL(UserDefaults &defaults);

    // Stores the bookmark of `directory`. Returns false (and stores nothing) when it is not an
    // existing directory.
    static bool storeDirectory(UserDefaults &defaults, const QString &directory);

    // The text the service shows: the resolved path, or the fixed "not authorized" text.
    static QString displayText(UserDefaults &defaults);
};

} // namespace quorvin

#pragma once

#include <QString>

namespace quorvin {

// Makes sure `path` is a directory, creating it (and any missing parent) when absent. The
// directory itself is created readable by its owner only, since it holds the user's reminders or
// sign-in token; an existing one is left as the user set it. Throws FileError when it cannot be
// had.
void makePrivateDirectory(const QString &path);

} // namespace quorvin

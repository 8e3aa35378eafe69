#pragma once

#include <QString>

namespace quorvin {

// Shortens an account or session id for log lines: ids of 15 characters or more keep their first
// 7 and last 4 characters around "…", an empty one becomes "-". Characters are grapheme clusters.
QString shortCloudIdentifier(const QString &identifier);

} // namespace quorvin

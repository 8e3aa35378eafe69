#pragma once

#include <QString>

namespace quorvin {

// Shortens an account or session id for log lines: long ids keep their first 7 and last 4
// characters around "…", an empty one becomes "-".
QString shortCloudIdentifier(const QString &identifier);

} // namespace quorvin

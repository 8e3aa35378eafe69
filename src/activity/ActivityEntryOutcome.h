#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quorvin {

// What one pull or one refresh leaves in the logs: at most one activity entry and at most one
// diagnostic line. The owner of the logs writes them; deciding them needs no log at hand.
struct ActivityEntryOutcome {
    // Empty when no activity entry is to be added.
    QString category;
    QString summary;
    QStringList details;
    std::optional<QString> diagnosticLine;

    bool hasEntry() const { return !summary.isEmpty(); }
};

} // namespace quorvin

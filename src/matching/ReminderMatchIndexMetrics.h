#pragma once

#include <QtGlobal>

namespace quorvin {

// How often the match index was asked, how many candidates it handed back in all, and how many
// indexed records it compared with a query to find them (its real cost: a lookup that scanned
// every record would show here).
struct ReminderMatchIndexMetrics {
    qint64 exactLookupCount = 0;
    qint64 externalLookupCount = 0;
    qint64 stableLookupCount = 0;
    qint64 completionAgnosticLookupCount = 0;
    qint64 completedOccurrenceLookupCount = 0;
    qint64 returnedCandidateCount = 0;
    qint64 comparedRecordCount = 0;

    friend bool operator==(const ReminderMatchIndexMetrics &, const ReminderMatchIndexMetrics &) = default;
};

} // namespace quorvin

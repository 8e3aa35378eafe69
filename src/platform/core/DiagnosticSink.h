#pragma once

#include <QString>

namespace quorvin {

// Where a component writes a line of the diagnostic log. The service hands its log down to the
// components below it, which cannot include the log itself.
class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;

    virtual void appendLog(const QString &message) = 0;
};

} // namespace quorvin

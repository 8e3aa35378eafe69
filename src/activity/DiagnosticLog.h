#pragma once

#include "activity/LogLine.h"
#include "platform/core/DiagnosticSink.h"

#include <QList>

namespace quorvin {

class Clock;

// The in-memory diagnostic log: technical lines stamped with the time, newest first, at most
// `maxLines` of them. It has no screen of its own and is lost when the process ends; it travels
// in diagnostics reports.
class DiagnosticLog : public DiagnosticSink {
public:
    static constexpr int maxLines = 80;

    explicit DiagnosticLog(Clock &clock);

    // "[" + the time in ISO 8601 with milliseconds + "] " + the message, as given.
    void appendLog(const QString &message) override;
    const QList<LogLine> &logs() const { return m_logs; }

private:
    Clock &m_clock;
    QList<LogLine> m_logs;
};

} // namespace quorvin

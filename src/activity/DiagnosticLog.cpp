#include "activity/DiagnosticLog.h"

#include "activity/LogTextBound.h"
#include "model/DateFormatters.h"
#include "platform/concurrency/Clock.h"

namespace quorvin {

using namespace Qt::Literals::StringLiterals;

DiagnosticLog::DiagnosticLog(Clock &clock)
    : m_clock(clock)
{
}

void DiagnosticLog::appendLog(const QString &message)
{
    m_logs.prepend(
        LogLine {QUuid::createUuid(), u'[' + DateFormatters::fractionalISO8601(m_clock.now()) + u"] "_s + message});
    while (m_logs.size() > maxLines) {
        m_logs.removeLast();
    }
    m_logs.first().text = boundedLogText(m_logs.first().text);
}

} // namespace quorvin

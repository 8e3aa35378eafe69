#include "platform/concurrency/Spawn.h"

#include "platform/core/Error.h"
#include "platform/core/UnicodeText.h"

#include <QDebug>

namespace quorvin {

namespace {
QCoro::Task<void> guarded(QCoro::Task<void> task, QString label)
{
    try {
        co_await std::move(task);
    } catch (const Error &error) {
        qWarning().noquote() << "task" << label << "failed:" << error.domain() << error.code()
                             << UnicodeText::escapingControlCharacters(error.description());
    } catch (const std::exception &error) {
        qWarning().noquote() << "task" << label
                             << "failed:" << UnicodeText::escapingControlCharacters(QString::fromUtf8(error.what()));
    }
}
} // namespace

void spawn(QCoro::Task<void> task, QString label)
{
    guarded(std::move(task), std::move(label));
}

} // namespace quorvin

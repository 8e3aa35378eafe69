#include "platform/concurrency/Spawn.h"

#include "platform/core/Error.h"

#include <QDebug>

namespace quorvin {

namespace {
QCoro::Task<void> guarded(QCoro::Task<void> task, QString label)
{
    try {
        co_await std::move(task);
    } catch (const Error &error) {
        qWarning().noquote() << "task" << label << "failed:" << error.domain() << error.code() << error.description();
    } catch (const std::exception &error) {
        qWarning().noquote() << "task" << label << "failed:" << error.what();
    }
}
} // namespace

void spawn(QCoro::Task<void> task, QString label)
{
    guarded(std::move(task), std::move(label));
}

} // namespace quorvin

#pragma once

#include <QString>
#include <qcoro/qcorotask.h>

namespace quorvin {

// Starts a task nobody awaits. An exception that escapes it is logged under `label` instead of
// being lost with the task.
void spawn(QCoro::Task<void> task, QString label = {});

} // namespace quorvin

// single_instance_helper guard <runtime-dir> [<scope-file>]: takes the single-instance guard
//   (ending only copies that hold the scope file open, when one is given, and then holding it open
//   itself, as the application holds its data directory's lock file) and reports on standard
//   output "primary" (then "activated" for each later launch that asks) or "duplicate" followed by
//   "activated-running-copy" or "no-running-copy", exiting with 3.
// single_instance_helper idle [<file>]: runs without the guard, as a copy that never got the lock,
//   holding <file> open when one is given.
#include "platform/shell/SingleInstanceGuard.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

using namespace quorvin;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QStringLiteral("idle")) {
        QFile held(arguments.value(2));
        if (arguments.size() > 2 && !held.open(QIODevice::ReadWrite)) {
            return 2;
        }
        out << "idle" << Qt::endl;
        return QCoreApplication::exec();
    }
    if (arguments.value(1) != QStringLiteral("guard") || arguments.size() < 3) {
        return 2;
    }
    SingleInstanceGuard guard(QStringLiteral("com.velmarc.quorvin.single-instance"), arguments.value(2));
    guard.setScopeFile(arguments.value(3));
    if (!guard.becomePrimaryInstance()) {
        out << "duplicate" << Qt::endl;
        out << (guard.activateRunningCopy() ? "activated-running-copy" : "no-running-copy") << Qt::endl;
        return 3;
    }
    QFile scope(arguments.value(3));
    if (!arguments.value(3).isEmpty() && !scope.open(QIODevice::ReadWrite)) {
        return 2;
    }
    QObject::connect(&guard, &SingleInstanceGuard::activationRequested, [&out] { out << "activated" << Qt::endl; });
    out << "primary" << Qt::endl;
    return QCoreApplication::exec();
}

// Runs the test cloud service on 127.0.0.1 so that a person can try the app without the real one:
//
//     quorvin-cloudserver --port 8080 --user 13812345678:secret123
//     quorvin-defaults write Quorvin.CloudBaseURL http://127.0.0.1:8080
//     quorvin-defaults write Quorvin.ReminderStore json
//
// SMS codes are not sent anywhere: every code request answers with the code in "dev_code", and
// the code is printed here as well. A listed account always accepts the code "123456", so it can
// sign in by code or by its password; any other number signs up with the code printed for it.

#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/LoopbackCloudServer.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <csignal>

using namespace quorvin::test;

namespace {
std::atomic<bool> stopRequested = false;

void requestStop(int)
{
    stopRequested = true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QStringList args = app.arguments().mid(1);

    const QString listedAccountCode = QStringLiteral("123456");
    int port = 8080;
    CloudServer server;
    QStringList accounts;
    QStringList tokens;
    while (!args.isEmpty()) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--port") && !args.isEmpty()) {
            port = args.takeFirst().toInt();
        } else if (option == QLatin1String("--user") && !args.isEmpty()) {
            const QString account = args.takeFirst();
            const QString phone = account.section(u':', 0, 0);
            const QString password = account.section(u':', 1);
            const QString number = phone.startsWith(u'+') ? phone : QStringLiteral("+86") + phone;
            const QString userId
                = server.createUser(number, password.isEmpty() ? std::nullopt : std::optional<QString>(password));
            server.setFixedSmsCode(number, listedAccountCode);
            accounts << QStringLiteral("Account %1: SMS code %2%3")
                            .arg(number, listedAccountCode,
                                password.isEmpty() ? QString() : QStringLiteral(", password ") + password);
            // A ready session token, for trying sync without going through the sign-in.
            tokens << server.createSession(userId, QStringLiteral("mqv"), QStringLiteral("desktop-try-out"));
        } else {
            QTextStream(stderr) << "usage: quorvin-cloudserver [--port N] [--user PHONE[:PASSWORD]]..." << Qt::endl;
            return 2;
        }
    }

    LoopbackCloudServer loopback(server);
    if (!loopback.start(port)) {
        QTextStream(stderr) << "cannot listen on 127.0.0.1:" << port << Qt::endl;
        return 1;
    }
    // A try-out syncs test data: it keeps to the app's own JSON file, away from the desktop's task
    // lists.
    out << "Serving the test cloud service on " << loopback.baseUrl() << Qt::endl
        << "Point the app at it with: quorvin-defaults write Quorvin.CloudBaseURL " << loopback.baseUrl() << Qt::endl
        << "Keep the try-out off your task lists with: quorvin-defaults write Quorvin.ReminderStore json" << Qt::endl;
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        out << accounts[i] << Qt::endl
            << "    or sign the app in with: quorvin-defaults write Quorvin.CloudAuthToken " << tokens[i] << Qt::endl;
    }

    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    qsizetype printed = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QList<CloudJournalEntry> journal = server.journal();
        for (; printed < journal.size(); ++printed) {
            const CloudRequest &request = journal[printed].request;
            out << request.receivedAt.toString(Qt::ISODateWithMs) << ' ' << request.method << ' ' << request.target()
                << Qt::endl;
            if (request.path() == QLatin1String("/auth/phone/code/request")) {
                const QString phone = request.jsonBody().value(QStringLiteral("phone_number")).toString();
                out << "    code for " << phone << ": " << server.lastSmsCode(phone).value_or(QStringLiteral("-"))
                    << Qt::endl;
            }
        }
        if (stopRequested) {
            app.quit();
        }
    });
    poll.start(200);
    const int status = app.exec();
    loopback.stop();
    return status;
}

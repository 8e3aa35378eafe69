// quorvin-try: runs the app against the test cloud service, so a newcomer can sign in and watch
// sync work without the real service and without touching their own settings, reminders or task
// lists.
//
// It serves the test service on a free port of 127.0.0.1 with one account whose SMS code is
// always "123456" and that holds a few reminders made on its "phone", prints the phone number and
// the code, and starts quorvin signed out in a home folder of its own (settings, the reminders
// JSON file, caches), pointed at that service. Sign in with the number and the code (the code also
// fills in by itself); the reminders arrive in the folder's reminders file, and every request the
// app sends is printed here. Quitting the app (or Ctrl+C) ends the try-out and removes the folder.

#include "support/cloudserver/CloudServer.h"
#include "support/cloudserver/LoopbackCloudServer.h"
#include "support/cloudserver/Phone.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <csignal>

using namespace quorvin::test;

namespace {

const QString phoneNumber = QStringLiteral("13812345678");
const QString smsCode = QStringLiteral("123456");

bool writeSettings(const QString &path, const QString &baseUrl)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QJsonObject settings {
        {QStringLiteral("Quorvin.CloudBaseURL"), baseUrl},
        // The app's own JSON file, never the desktop's task lists.
        {QStringLiteral("Quorvin.ReminderStore"), QStringLiteral("json")},
    };
    return file.write(QJsonDocument(settings).toJson()) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/quorvin-try-XXXXXX"));
    if (!home.isValid()) {
        err << "cannot make a home folder for the try-out: " << home.errorString() << Qt::endl;
        return 1;
    }

    CloudServer server;
    const QString number = QStringLiteral("+86") + phoneNumber;
    const QString userId = server.createUser(number);
    server.setFixedSmsCode(number, smsCode);
    Phone phone(server, userId);
    const QString list = phone.createList(QStringLiteral("手机上的清单"));
    for (const QString &title :
        {QStringLiteral("买牛奶"), QStringLiteral("给妈妈打电话"), QStringLiteral("交水电费")}) {
        phone.createReminder({.title = title, .listId = list});
    }
    LoopbackCloudServer loopback(server);
    if (!loopback.start(0)) {
        err << "cannot listen on 127.0.0.1" << Qt::endl;
        return 1;
    }

    const QString config = home.filePath(QStringLiteral("config"));
    if (!writeSettings(config + QStringLiteral("/Quorvin/settings.json"), loopback.baseUrl())) {
        err << "cannot write the try-out settings under " << home.path() << Qt::endl;
        return 1;
    }
    out << "Test cloud service: " << loopback.baseUrl() << Qt::endl
        << "Sign in with phone number " << phoneNumber << " and SMS code " << smsCode << Qt::endl
        << "The try-out keeps its settings and reminders in " << home.path() << " (removed at the end)" << Qt::endl
        << "Reminders file: " << home.filePath(QStringLiteral("data/Quorvin/reminders.json")) << Qt::endl;

    QProcess quorvin;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    quorvin.setProcessEnvironment(environment);
    quorvin.setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(&quorvin, &QProcess::finished, &app, [&](int code, QProcess::ExitStatus status) {
        QCoreApplication::exit(status == QProcess::NormalExit ? code : 1);
    });
    QObject::connect(&quorvin, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            err << "cannot start " << QStringLiteral(QUORVIN_APP_BINARY) << Qt::endl;
            QCoreApplication::exit(1);
        }
    });
    // Ctrl+C reaches the app too; the try-out ends when the app has.
    std::signal(SIGINT, SIG_IGN);
    quorvin.start(QStringLiteral(QUORVIN_APP_BINARY), app.arguments().mid(1));

    qsizetype printed = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QList<CloudJournalEntry> journal = server.journal();
        for (; printed < journal.size(); ++printed) {
            const CloudRequest &request = journal[printed].request;
            out << "[cloud] " << request.method << ' ' << request.target() << Qt::endl;
        }
    });
    poll.start(200);
    const int status = QCoreApplication::exec();
    loopback.stop();
    return status;
}

// Reads, writes and deletes keys of Quorvin's settings file, e.g. to point the app at a service:
//
//     quorvin-defaults write Quorvin.CloudBaseURL http://127.0.0.1:8080

#include "platform/core/JsonByteOrderMarks.h"
#include "platform/defaults/FileUserDefaults.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace quorvin;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usage()
{
    err() << "usage: quorvin-defaults [--file PATH] read [KEY]\n"
             "       quorvin-defaults [--file PATH] write KEY [-string|-bool|-int|-float|-json] VALUE\n"
             "       quorvin-defaults [--file PATH] delete KEY\n"
             "The settings file is "
          << FileUserDefaults::standardFilePath() << " unless --file names another.\n";
    err().flush();
    return 2;
}

QString render(const QJsonValue &value)
{
    if (value.isString()) {
        return value.toString();
    }
    if (value.isObject()) {
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented)).trimmed();
    }
    if (value.isArray()) {
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)).trimmed();
    }
    // A scalar: wrap it in an array to let the JSON writer spell it, then unwrap.
    const QByteArray text = QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(text.mid(1, text.size() - 2));
}

std::optional<QJsonValue> parseTyped(const QString &type, const QString &text)
{
    if (type == QLatin1String("-string")) {
        return QJsonValue(text);
    }
    if (type == QLatin1String("-bool")) {
        const QString lower = text.toLower();
        if (lower == QLatin1String("true") || lower == QLatin1String("yes") || lower == QLatin1String("1")) {
            return QJsonValue(true);
        }
        if (lower == QLatin1String("false") || lower == QLatin1String("no") || lower == QLatin1String("0")) {
            return QJsonValue(false);
        }
        return std::nullopt;
    }
    if (type == QLatin1String("-int")) {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        return ok ? std::optional<QJsonValue>(QJsonValue(number)) : std::nullopt;
    }
    if (type == QLatin1String("-float")) {
        bool ok = false;
        const double number = text.toDouble(&ok);
        return ok ? std::optional<QJsonValue>(QJsonValue(number)) : std::nullopt;
    }
    if (type == QLatin1String("-json")) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson("[" + text.toUtf8() + "]", &error);
        if (error.error != QJsonParseError::NoError || document.array().size() != 1) {
            return std::nullopt;
        }
        return document.array().at(0);
    }
    return std::nullopt;
}

// The file is replaced whole or not at all, so a failed write leaves it as it was.
int reportWrite(UserDefaults &defaults)
{
    defaults.flush();
    if (const auto failure = defaults.writeFailure()) {
        err() << *failure << "; the settings file was left unchanged" << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    QString filePath = FileUserDefaults::standardFilePath();
    if (args.size() >= 2 && args.first() == QLatin1String("--file")) {
        filePath = args.at(1);
        args = args.mid(2);
    }
    if (args.isEmpty()) {
        return usage();
    }
    const QString command = args.takeFirst();

    // Opening a damaged file moves it aside; a mere look must leave it where it is.
    if (command == QLatin1String("read")) {
        QFile file(filePath);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly)) {
                err() << "Cannot read " << filePath << ": " << file.errorString() << Qt::endl;
                return 1;
            }
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(escapeInnerByteOrderMarks(file.readAll()), &error);
            if (error.error != QJsonParseError::NoError || !document.isObject()) {
                err() << filePath << " is not a settings file (a JSON object); it was left untouched" << Qt::endl;
                return 1;
            }
        }
    }

    FileUserDefaults defaults(filePath);
    if (!defaults.lastError().isEmpty()) {
        err() << "warning: " << filePath << ": " << defaults.lastError() << Qt::endl;
    }

    if (command == QLatin1String("read")) {
        if (args.isEmpty()) {
            out() << QString::fromUtf8(QJsonDocument(defaults.snapshot()).toJson(QJsonDocument::Indented)) << Qt::flush;
            return 0;
        }
        if (args.size() != 1) {
            return usage();
        }
        const auto value = defaults.json(args.first());
        if (!value) {
            err() << "The key " << args.first() << " does not exist in " << filePath << Qt::endl;
            return 1;
        }
        out() << render(*value) << Qt::endl;
        return 0;
    }

    if (command == QLatin1String("write")) {
        QJsonValue value;
        if (args.size() == 2) {
            value = QJsonValue(args.at(1));
        } else if (args.size() == 3) {
            const auto typed = parseTyped(args.at(1), args.at(2));
            if (!typed) {
                err() << "Cannot read " << args.at(2) << " as " << args.at(1).mid(1) << Qt::endl;
                return 1;
            }
            value = *typed;
        } else {
            return usage();
        }
        if (value.isNull()) {
            err() << "A null value cannot be stored; use delete" << Qt::endl;
            return 1;
        }
        defaults.setJson(args.first(), value);
        return reportWrite(defaults);
    }

    if (command == QLatin1String("delete")) {
        if (args.size() != 1) {
            return usage();
        }
        if (!defaults.contains(args.first())) {
            err() << "The key " << args.first() << " does not exist in " << filePath << Qt::endl;
            return 1;
        }
        defaults.remove(args.first());
        return reportWrite(defaults);
    }

    return usage();
}

#include "platform/shell/XdgAutostartLoginItem.h"

#include "platform/shell/LoginItemError.h"
#include "platform/shell/Strings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

namespace quorvin {

namespace {

const QString entryFileName = QStringLiteral("com.velmarc.Quorvin.desktop");
const QString mainGroup = QStringLiteral("[Desktop Entry]");

// The keys of the main group, values with the desktop entry string escapes undone.
QHash<QString, QString> readMainGroup(const QByteArray &text)
{
    QHash<QString, QString> keys;
    bool inMain = false;
    for (const QByteArray &rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            inMain = line == mainGroup;
            continue;
        }
        const auto equals = line.indexOf(u'=');
        if (!inMain || equals <= 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString raw = line.mid(equals + 1).trimmed();
        QString value;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == u'\\' && i + 1 < raw.size()) {
                const QChar next = raw[++i];
                value += next == u's' ? QChar(u' ')
                    : next == u'n'    ? QChar(u'\n')
                    : next == u't'    ? QChar(u'\t')
                    : next == u'r'    ? QChar(u'\r')
                                      : next;
            } else {
                value += raw[i];
            }
        }
        // As the desktop's own reader does, a repeated key takes its last value.
        keys.insert(key, value);
    }
    return keys;
}

bool isTrue(const QString &value)
{
    return value.trimmed() == QStringLiteral("true");
}

bool programExists(const QString &program)
{
    if (program.isEmpty()) {
        return false;
    }
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable();
    }
    return !QStandardPaths::findExecutable(program).isEmpty();
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(QString autostartDirectory, QString executable)
    : m_directory(std::move(autostartDirectory))
    , m_executable(std::move(executable))
{
}

QString XdgAutostartLoginItem::standardDirectory()
{
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(configHome) ? configHome : QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString XdgAutostartLoginItem::currentExecutable()
{
    // An AppImage runs from a mount that is gone after exit; the image file itself is what lasts.
    QString appImage = qEnvironmentVariable("APPIMAGE");
    if (!appImage.isEmpty() && QFileInfo(appImage).isFile()) {
        return appImage;
    }
    return QCoreApplication::applicationFilePath();
}

QString XdgAutostartLoginItem::entryPath() const
{
    return m_directory + u'/' + entryFileName;
}

LoginItemStatus XdgAutostartLoginItem::status() const
{
    if (m_executable.isEmpty()) {
        return LoginItemStatus::NotFound;
    }
    QFile file(entryPath());
    if (!file.exists()) {
        return LoginItemStatus::NotRegistered;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return LoginItemStatus::NotFound;
    }
    const auto keys = readMainGroup(file.readAll());
    if (isTrue(keys.value(QStringLiteral("Hidden")))
        || keys.value(QStringLiteral("X-GNOME-Autostart-enabled")).trimmed() == QStringLiteral("false")) {
        return LoginItemStatus::RequiresApproval;
    }
    const QString tryExec = keys.value(QStringLiteral("TryExec"));
    if (!programExists(execProgram(keys.value(QStringLiteral("Exec"))))
        || (!tryExec.isEmpty() && !programExists(tryExec))) {
        return LoginItemStatus::NotFound;
    }
    return LoginItemStatus::Enabled;
}

void XdgAutostartLoginItem::registerItem()
{
    if (m_executable.isEmpty() || m_executable.contains(u'\n') || m_executable.contains(u'\r')) {
        throw LoginItemError(ShellText::loginItemNoExecutable);
    }
    if (!QDir().mkpath(m_directory)) {
        throw LoginItemError(ShellText::loginItemWriteFailed + m_directory);
    }
    const QString text = mainGroup + QStringLiteral("\nType=Application\nName=Quorvin\nExec=")
        + quotedExecArgument(m_executable)
        + QStringLiteral("\nTerminal=false\nX-GNOME-Autostart-enabled=true\nHidden=false\n");
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        throw LoginItemError(ShellText::loginItemWriteFailed + file.errorString());
    }
}

void XdgAutostartLoginItem::unregisterItem()
{
    QFile file(entryPath());
    if (file.exists() && !file.remove()) {
        throw LoginItemError(ShellText::loginItemRemoveFailed + file.errorString());
    }
}

QString XdgAutostartLoginItem::execProgram(const QString &execValue)
{
    const QString value = execValue.trimmed();
    QString program;
    if (value.startsWith(u'"')) {
        for (qsizetype i = 1; i < value.size(); ++i) {
            if (value[i] == u'\\' && i + 1 < value.size()) {
                program += value[++i];
            } else if (value[i] == u'"') {
                break;
            } else {
                program += value[i];
            }
        }
    } else {
        program = value.section(u' ', 0, 0, QString::SectionSkipEmpty);
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QString XdgAutostartLoginItem::quotedExecArgument(const QString &program)
{
    // Inside the quotes `"`, `` ` ``, `$` and `\` take a backslash; then the file's own string
    // escaping doubles every backslash, and field codes need `%` doubled.
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    quoted.replace(QStringLiteral("%"), QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

} // namespace quorvin

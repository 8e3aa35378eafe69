#include "app/QuorvinApp.h"

#include "activity/DiagnosticLog.h"
#include "app/QtTranslations.h"
#include "app/QuorvinUpdateController.h"
#include "app/QuorvinUpdateUserDriver.h"
#include "app/Strings.h"
#include "platform/concurrency/Clock.h"
#include "platform/concurrency/QueuedEvents.h"
#include "platform/defaults/FileUserDefaults.h"
#include "platform/files/AtomicFileWriter.h"
#include "platform/files/DataDirectoryLock.h"
#include "platform/http/QtHttpSession.h"
#include "platform/reminderstore/JsonFileReminderStore.h"
#include "platform/reminderstore/eds/ReminderStoreSelection.h"
#include "platform/shell/FeedUpdater.h"
#include "platform/shell/GlobalHotKeys.h"
#include "platform/shell/PortalSystemAppearance.h"
#include "platform/shell/SingleInstanceGuard.h"
#include "platform/shell/TaskbarDockIconPolicy.h"
#include "platform/shell/TrayStatusBar.h"
#include "platform/shell/XdgAutostartLoginItem.h"
#include "sync/QuorvinMacService.h"

#include <QCryptographicHash>
#include <QDir>
#include <QIcon>

namespace quorvin {

QuorvinApp::QuorvinApp(int &argc, char **argv, const QString &version)
    : m_application(argc, argv)
    , m_version(version)
{
    QCoreApplication::setApplicationName(AppText::appName);
    QCoreApplication::setApplicationVersion(version);
    QGuiApplication::setDesktopFileName(AppText::desktopFileName);
    // A tray application: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    QtTranslations::install(m_application);
    // The icon the desktop entry installs, where it is installed.
    QApplication::setWindowIcon(QIcon::fromTheme(AppText::desktopFileName));
}

QuorvinApp::~QuorvinApp()
{
    // The windows and controllers go first; the tasks they cancel resume through the loop, which
    // has returned by now, so their queued turns are run out here rather than left at exit.
    m_delegate.reset();
    m_updates.reset();
    runQueuedEvents();
}

bool QuorvinApp::becomePrimaryInstance(const QString &dataDirectory)
{
    // One copy per data directory: the name carries the directory, and only copies that hold the
    // directory's lock file open count as other copies of this one.
    const QString directory = QDir(dataDirectory).absolutePath();
    const QByteArray digest = QCryptographicHash::hash(directory.toUtf8(), QCryptographicHash::Sha256).toHex();
    m_guard = std::make_unique<SingleInstanceGuard>(
        AppText::singleInstanceName + u'.' + QString::fromLatin1(digest.left(16)));
    m_guard->setScopeFile(directory + u'/' + DataDirectoryLock::fileName());
    if (m_guard->becomePrimaryInstance()) {
        return true;
    }
    m_activatedRunningCopy = m_guard->activateRunningCopy();
    return false;
}

QuorvinMacService &QuorvinApp::makeService()
{
    Clock &clock = Clock::system();
    // This copy holds the one-copy lock: a temporary file beside ours is what a killed write left.
    AtomicFileWriter::removeLeftovers(FileUserDefaults::standardFilePath());
    m_defaults = std::make_unique<FileUserDefaults>(FileUserDefaults::standardFilePath());
    m_http = std::make_unique<QtHttpSession>();
    m_store = ReminderStoreSelection::make(*m_defaults, clock);
    if (const auto *file = dynamic_cast<JsonFileReminderStore *>(m_store.get())) {
        AtomicFileWriter::removeLeftovers(file->filePath());
    }
    m_service = std::make_unique<QuorvinMacService>(*m_defaults, *m_http, clock, *m_store);
    if (const auto &notice = m_defaults->damageNotice()) {
        m_service->diagnosticLog().appendLog(*notice);
    }
    return *m_service;
}

void QuorvinApp::finishLaunching(QuorvinAppDelegate::MainWindowContent content, std::function<void()> terminate)
{
    Clock &clock = Clock::system();
    m_updateDriver = std::make_unique<QuorvinUpdateUserDriver>();
    m_updater = std::make_unique<FeedUpdater>(*m_http, FeedUpdater::placeholderFeedUrl(), m_version, *m_updateDriver);
    m_updates = std::make_unique<QuorvinUpdateController>(*m_updater, *m_defaults, clock, m_version);

    // The desktop's look is asked for first, so its answer is there as early as can be.
    m_systemAppearance = std::make_unique<PortalSystemAppearance>();
    m_statusBar = std::make_unique<TrayStatusBar>();
    m_hotKeys = GlobalHotKeys::createForSession();
    m_dockIconPolicy = std::make_unique<TaskbarDockIconPolicy>();
    m_loginItem = std::make_unique<XdgAutostartLoginItem>(
        XdgAutostartLoginItem::standardDirectory(), XdgAutostartLoginItem::currentExecutable());

    m_delegate = std::make_unique<QuorvinAppDelegate>(*m_service, *m_defaults, *m_updates,
        QuorvinAppDelegate::Shell {*m_statusBar, *m_hotKeys, *m_dockIconPolicy, *m_systemAppearance, *m_loginItem},
        std::move(content), std::move(terminate));
    QObject::connect(m_guard.get(), &SingleInstanceGuard::activationRequested, m_delegate.get(),
        &QuorvinAppDelegate::applicationShouldHandleReopen);
    m_delegate->applicationDidFinishLaunching();
}

int QuorvinApp::exec()
{
    return QApplication::exec();
}

void QuorvinApp::flushSettings()
{
    if (m_defaults) {
        m_defaults->flush();
    }
}

} // namespace quorvin

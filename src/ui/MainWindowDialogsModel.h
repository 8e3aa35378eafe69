#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

namespace quorvin {

class ContentViewModel;
class LoginItem;
class QuorvinMacService;

// The main window's questions before the maintenance operations that change or send data (the
// cloud rebuild, the two-step completed-reminder cleanup, the diagnostics upload) and the one-time
// offer to start at login after a successful sync. Which of them shows is the main view's state;
// this model opens and answers them.
class MainWindowDialogsModel : public QObject {
    Q_OBJECT
public:
    MainWindowDialogsModel(
        QuorvinMacService &service, ContentViewModel &content, LoginItem &loginItem, QObject *parent = nullptr);

    // ---- the toolbar's diagnostics button
    QString diagnosticButtonTitle() const;
    bool isDiagnosticButtonEnabled() const;
    void requestDiagnosticUpload();

    // ---- the answers; each closes its dialog. Cancelling only closes it.
    void confirmCloudRebuild();
    void cancelCloudRebuild();
    void startCleanupPrecheck();
    void cancelCleanupPrecheck();
    void deleteCleanupCandidates();
    void dismissCleanupResult();
    void confirmDiagnosticUpload();
    void cancelDiagnosticUpload();

    // ---- the cleanup result
    // The service's summary when it has one, else what the count says.
    QString completedCleanupDialogMessage() const;
    // "删除 3 条本机完成项"; none without candidates.
    std::optional<QString> cleanupDeleteButtonTitle() const;
    // "保留" with candidates, "关闭" without.
    QString cleanupDismissButtonTitle() const;

    // ---- launch at login
    // Offers it once the user is signed in and a sync has succeeded, until the offer is answered,
    // unless the desktop already starts the application at login.
    void maybePromptForLaunchAtLogin();
    void enableLaunchAtLoginFromPrompt();
    void declineLaunchAtLoginPrompt();
    void dismissLaunchAtLoginError();

private:
    void serviceChanged();

    QuorvinMacService &m_service;
    ContentViewModel &m_content;
    LoginItem &m_loginItem;
    bool m_seenCleanupRunning;
    std::optional<QDateTime> m_seenLastSyncSuccessAt;
};

} // namespace quorvin

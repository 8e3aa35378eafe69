#include "ui/MainWindowDialogsModel.h"

#include "app/LaunchAtLoginSettingsModel.h"
#include "platform/core/Error.h"
#include "sync/CompletedReminderCleanup.h"
#include "sync/DiagnosticsUpload.h"
#include "sync/QuorvinMacService.h"
#include "ui/ContentViewModel.h"
#include "ui/Strings.h"

namespace quorvin {

MainWindowDialogsModel::MainWindowDialogsModel(
    QuorvinMacService &service, ContentViewModel &content, LoginItem &loginItem, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_content(content)
    , m_loginItem(loginItem)
    , m_seenCleanupRunning(service.completedCleanup().isCompletedCleanupRunning())
    , m_seenLastSyncSuccessAt(service.lastSyncSuccessAt())
{
    connect(&m_service, &QuorvinMacService::changed, this, &MainWindowDialogsModel::serviceChanged);
}

QString MainWindowDialogsModel::diagnosticButtonTitle() const
{
    return m_service.diagnosticsUpload().isDiagnosticUploading() ? UiText::diagnosticUploadingButton
                                                                 : UiText::diagnosticUploadButton;
}

bool MainWindowDialogsModel::isDiagnosticButtonEnabled() const
{
    return !m_service.diagnosticsUpload().isDiagnosticUploading();
}

void MainWindowDialogsModel::requestDiagnosticUpload()
{
    if (isDiagnosticButtonEnabled()) {
        m_content.edit([](ContentViewState &state) { state.showingDiagnosticUploadConfirmation = true; });
    }
}

void MainWindowDialogsModel::confirmCloudRebuild()
{
    m_content.edit([](ContentViewState &state) { state.showingRebuildCloudConfirmation = false; });
    m_service.retryCloudBootstrap();
}

void MainWindowDialogsModel::cancelCloudRebuild()
{
    m_content.edit([](ContentViewState &state) { state.showingRebuildCloudConfirmation = false; });
}

void MainWindowDialogsModel::startCleanupPrecheck()
{
    m_content.edit([](ContentViewState &state) {
        state.showingCleanupPrecheckConfirmation = false;
        state.cleanupPrecheckWasRequested = true;
    });
    m_service.completedCleanup().dryRunCompletedReminderCleanup();
}

void MainWindowDialogsModel::cancelCleanupPrecheck()
{
    m_content.edit([](ContentViewState &state) { state.showingCleanupPrecheckConfirmation = false; });
}

void MainWindowDialogsModel::deleteCleanupCandidates()
{
    m_content.edit([](ContentViewState &state) { state.showingCleanupResultConfirmation = false; });
    m_service.completedCleanup().deleteCompletedReminderCleanupCandidates();
}

void MainWindowDialogsModel::dismissCleanupResult()
{
    m_content.edit([](ContentViewState &state) { state.showingCleanupResultConfirmation = false; });
}

void MainWindowDialogsModel::confirmDiagnosticUpload()
{
    m_content.edit([](ContentViewState &state) { state.showingDiagnosticUploadConfirmation = false; });
    m_service.diagnosticsUpload().uploadDiagnosticsReport(std::nullopt);
}

void MainWindowDialogsModel::cancelDiagnosticUpload()
{
    m_content.edit([](ContentViewState &state) { state.showingDiagnosticUploadConfirmation = false; });
}

QString MainWindowDialogsModel::completedCleanupDialogMessage() const
{
    QString summary = m_service.completedCleanup().completedCleanupSummary().trimmed();
    if (!summary.isEmpty()) {
        return summary;
    }
    const int count = m_service.completedCleanup().completedCleanupCandidateCount();
    if (count < 1) {
        return UiText::cleanupNothingToClean;
    }
    return QString::number(count) + UiText::cleanupCountSuffix;
}

std::optional<QString> MainWindowDialogsModel::cleanupDeleteButtonTitle() const
{
    const int count = m_service.completedCleanup().completedCleanupCandidateCount();
    if (count < 1) {
        return std::nullopt;
    }
    return UiText::cleanupDeletePrefix + QString::number(count) + UiText::cleanupDeleteSuffix;
}

QString MainWindowDialogsModel::cleanupDismissButtonTitle() const
{
    return m_service.completedCleanup().completedCleanupCandidateCount() > 0 ? UiText::cleanupKeep
                                                                             : UiText::cleanupClose;
}

void MainWindowDialogsModel::maybePromptForLaunchAtLogin()
{
    if (m_content.state().showingLaunchAtLoginPrompt || m_content.launchAtLoginPromptHandled()
        || !m_content.isLoggedIn() || !m_service.lastSyncSuccessAt()) {
        return;
    }
    // Already starting at login (or waiting for the user's approval on the desktop): nothing to
    // offer, and nothing answered, so the check comes back after later syncs.
    if (LaunchAtLoginSettingsModel::isOn(m_loginItem.status())) {
        return;
    }
    m_content.edit([](ContentViewState &state) { state.showingLaunchAtLoginPrompt = true; });
}

void MainWindowDialogsModel::enableLaunchAtLoginFromPrompt()
{
    m_content.edit([](ContentViewState &state) { state.showingLaunchAtLoginPrompt = false; });
    try {
        LaunchAtLoginController::setEnabled(m_loginItem, true);
    } catch (const Error &error) {
        // Not answered: the offer can come back after a later successful sync.
        m_content.setLaunchAtLoginEnabled(LaunchAtLoginSettingsModel::isOn(m_loginItem.status()));
        const QString &message = error.description();
        m_content.edit([&message](ContentViewState &state) {
            state.launchAtLoginPromptErrorMessage = message;
            state.showingLaunchAtLoginPromptError = true;
        });
        return;
    }
    m_content.setLaunchAtLoginEnabled(true);
    m_content.setLaunchAtLoginPromptHandled(true);
}

void MainWindowDialogsModel::declineLaunchAtLoginPrompt()
{
    m_content.edit([](ContentViewState &state) { state.showingLaunchAtLoginPrompt = false; });
    m_content.setLaunchAtLoginPromptHandled(true);
}

void MainWindowDialogsModel::dismissLaunchAtLoginError()
{
    m_content.edit([](ContentViewState &state) { state.showingLaunchAtLoginPromptError = false; });
}

void MainWindowDialogsModel::serviceChanged()
{
    const bool running = m_service.completedCleanup().isCompletedCleanupRunning();
    if (running != m_seenCleanupRunning) {
        const bool precheckFinished = m_seenCleanupRunning && !running;
        m_seenCleanupRunning = running;
        // Only a precheck the user started from its dialog opens the result; a delete, or a run
        // started elsewhere, does not.
        if (precheckFinished && m_content.state().cleanupPrecheckWasRequested) {
            m_content.edit([](ContentViewState &state) {
                state.cleanupPrecheckWasRequested = false;
                state.showingCleanupResultConfirmation = true;
            });
        }
    }
    if (m_service.lastSyncSuccessAt() != m_seenLastSyncSuccessAt) {
        m_seenLastSyncSuccessAt = m_service.lastSyncSuccessAt();
        maybePromptForLaunchAtLogin();
    }
}

} // namespace quorvin

#pragma once

#include "model/CloudDeviceSessionPayload.h"

#include <QString>

#include <optional>

namespace quorvin {

// The view state the main window's screens share: which sheets, editors and dialogs are showing,
// and the drafts of the account editors. It lives as long as the main view.
struct ContentViewState {
    bool showingGuide = false;
    bool showingAccountPopover = false;
    bool showingLaunchAtLoginPrompt = false;
    bool showingLaunchAtLoginPromptError = false;
    QString launchAtLoginPromptErrorMessage;
    QString cloudProfileNicknameDraft;
    QString cloudProfilePhoneDraft;
    QString cloudProfilePhoneCodeDraft;
    QString cloudProfilePasswordDraft;
    QString cloudProfilePasswordConfirmDraft;
    QString cloudProfileCurrentPasswordDraft;
    QString cloudProfilePasswordPhoneDraft;
    QString cloudProfilePasswordCodeDraft;
    bool cloudProfilePasswordVerificationUsesCode = false;
    bool isAccountPhoneVisible = false;
    bool isProfileNicknameEditing = false;
    bool showingAvatarFileImporter = false;
    bool showingPhoneEditor = false;
    bool showingPasswordEditor = false;
    bool showingAccountDeletion = false;
    bool showingRebuildCloudConfirmation = false;
    bool showingCleanupPrecheckConfirmation = false;
    bool showingCleanupResultConfirmation = false;
    bool showingDiagnosticUploadConfirmation = false;
    std::optional<CloudDeviceSessionPayload> pendingCloudDeviceRemoval;
    bool cleanupPrecheckWasRequested = false;
};

} // namespace quorvin

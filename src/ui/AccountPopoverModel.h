#pragma once

#include "model/CloudDeviceSessionPayload.h"
#include "ui/AvatarImageChooser.h"
#include "ui/ContentViewState.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace quorvin {

class CloudAccount;
class ContentViewModel;

// The account sheet's rules: the account's display name and avatar, the nickname editor, the
// phone row, the device list with its removal confirmation, logout and the way into account
// deletion. It keeps no state of its own: the drafts and flags live in the main view's state,
// the account's values in the account, and views re-read both on ContentViewModel::changed().
// Operations only start the account's work, which reports back through its published state.
class AccountPopoverModel {
public:
    explicit AccountPopoverModel(ContentViewModel &content);

    ContentViewModel &content() const { return m_content; }
    CloudAccount &account() const;
    const ContentViewState &state() const;
    bool isLoggedIn() const;

    // ---- identity
    // The trimmed nickname, else the masked phone label, else "同步账号"; never empty.
    QString accountToolbarTitle() const;
    // The title's first character, upper-cased.
    QString accountAvatarInitial() const;
    // The avatar's trimmed address, "|", and the refresh token as it is: what keys a loaded picture.
    QString accountAvatarImageIdentity() const;
    // The address with one "_mqv" query item carrying the trimmed token appended last (earlier ones
    // removed); unchanged without a token; none for a blank address.
    static std::optional<QUrl> versionedAvatarImageURL(const QString &address, const QString &refreshToken);
    std::optional<QUrl> avatarImageURL() const;
    QString passwordRowValue() const;

    // ---- the sheet
    // Each time the sheet appears: the drafts reset and the profile reloaded without status.
    void appear();
    void closeAccountPopover();
    void resetCloudProfileDrafts();
    void logout();

    // ---- nickname
    bool canOpenProfileNicknameEditor() const;
    void openProfileNicknameEditor();
    void setNicknameDraft(const QString &text);
    bool canAttemptProfileNicknameSave() const;
    void saveProfileNickname();

    // ---- avatar
    bool canChangeAvatar() const;
    // Marks the chooser open and returns true when a new avatar may be chosen now.
    bool beginAvatarChoice();
    void finishAvatarChoice(const AvatarImageChooser::Result &result);

    // ---- phone row
    QString accountPhoneTextForEditing() const;
    QString accountPhoneText() const;
    bool canTogglePhoneVisibility() const;
    void togglePhoneVisibility();

    // ---- devices
    bool isCurrentDeviceSession(const CloudDeviceSessionPayload &session) const;
    bool isRemovingDeviceSession(const CloudDeviceSessionPayload &session) const;
    bool canRemoveDeviceSession(const CloudDeviceSessionPayload &session) const;
    QString cloudDeviceTitle(const CloudDeviceSessionPayload &session) const;
    QString devicesRefreshLabel() const;
    bool canRefreshDevices() const;
    void refreshDevices();
    // A row's remove button: the session waits for the confirmation.
    void requestDeviceRemoval(const CloudDeviceSessionPayload &session);
    bool isDeviceRemovalConfirmationShown() const;
    QString cloudDeviceRemovalConfirmationMessage() const;
    void confirmDeviceRemoval();
    void cancelDeviceRemoval();

    // ---- account deletion
    bool canOpenAccountDeletion() const;
    void openAccountDeletion();
    // The deletion page's own closing, and what runs after a confirmed deletion.
    void closeAccountDeletion();
    void accountDeleted();

private:
    template <typename Edit> void edit(Edit &&change) const;

    ContentViewModel &m_content;
};

} // namespace quorvin

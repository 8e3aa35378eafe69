#pragma once

#include "ui/QuorvinDynamicColor.h"

#include <QString>

namespace quorvin {

class AccountPopoverModel;
class CloudAccount;
class ContentViewModel;
struct ContentViewState;

// The password editor of the account sheet. The user proves who they are by the current
// password or by a code sent to the account's own number (the only way for an account without a
// password); the new password must pass the input rules before save is offered. The change is
// the account's operation; its status and hint are shown as they stand.
class AccountPasswordEditorModel {
public:
    explicit AccountPasswordEditorModel(AccountPopoverModel &popover);

    void openPasswordEditor();
    // Does nothing while a code request, a verification or a save runs.
    void closePasswordEditor();
    // Switching (or choosing the chosen mode again) drops the typed proof and any requested code.
    void chooseVerificationMode(bool usesCode);

    void setPasswordDraft(const QString &text);
    void setConfirmDraft(const QString &text);
    void setCurrentPasswordDraft(const QString &text);
    void setCodeDraft(const QString &text);

    // Only an account with a password has a choice.
    bool showsModeSwitcher() const;
    bool usesCurrentPassword() const;
    // The phone the code goes to: the account's own number as the editor holds it.
    QString verificationPhone() const;
    bool isProfilePasswordCodeValid() const;
    QString profilePasswordHelpText() const;
    QuorvinDynamicColor profilePasswordHelpColor() const;
    QString profilePasswordCodeButtonLabel() const;
    bool canRequestProfilePasswordPhoneCode() const;
    bool canUpdateCloudPassword() const;
    // The code hint, only where a code is the proof.
    QString shownCodeHint() const;
    QString saveLabel() const;

    void requestCode();
    void saveCloudPassword();

    CloudAccount &account() const;
    const ContentViewState &state() const;

private:
    void dropChallenge();

    AccountPopoverModel &m_popover;
    ContentViewModel &m_content;
};

} // namespace quorvin

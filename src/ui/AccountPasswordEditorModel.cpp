#include "ui/AccountPasswordEditorModel.h"

#include "account/CloudAccount.h"
#include "platform/core/UnicodeText.h"
#include "ui/AccountInputRules.h"
#include "ui/AccountPopoverModel.h"
#include "ui/ContentViewModel.h"
#include "ui/QuorvinMacTheme.h"
#include "ui/Strings.h"

namespace quorvin {

AccountPasswordEditorModel::AccountPasswordEditorModel(AccountPopoverModel &popover)
    : m_popover(popover)
    , m_content(popover.content())
{
}

CloudAccount &AccountPasswordEditorModel::account() const
{
    return m_popover.account();
}

const ContentViewState &AccountPasswordEditorModel::state() const
{
    return m_content.state();
}

void AccountPasswordEditorModel::dropChallenge()
{
    account().setCloudPhoneChallengeID(QString());
    account().setCloudPhoneCodeHint(QString());
}

void AccountPasswordEditorModel::openPasswordEditor()
{
    m_popover.resetCloudProfileDrafts();
    const bool usesCode = !account().cloudProfilePasswordSet();
    m_content.edit([&](ContentViewState &state) { state.cloudProfilePasswordVerificationUsesCode = usesCode; });
    dropChallenge();
    m_content.edit([](ContentViewState &state) { state.showingPasswordEditor = true; });
}

void AccountPasswordEditorModel::closePasswordEditor()
{
    if (account().isCloudPhoneCodeRequesting() || account().isCloudPhoneCodeVerifying()
        || account().isCloudProfileSaving()) {
        return;
    }
    m_content.edit([](ContentViewState &state) { state.showingPasswordEditor = false; });
    m_popover.resetCloudProfileDrafts();
    dropChallenge();
}

void AccountPasswordEditorModel::chooseVerificationMode(bool usesCode)
{
    m_content.edit([&](ContentViewState &state) {
        state.cloudProfilePasswordVerificationUsesCode = usesCode;
        state.cloudProfilePasswordCodeDraft.clear();
        state.cloudProfileCurrentPasswordDraft.clear();
    });
    dropChallenge();
}

void AccountPasswordEditorModel::setPasswordDraft(const QString &text)
{
    if (state().cloudProfilePasswordDraft != text) {
        m_content.edit([&](ContentViewState &state) { state.cloudProfilePasswordDraft = text; });
    }
}

void AccountPasswordEditorModel::setConfirmDraft(const QString &text)
{
    if (state().cloudProfilePasswordConfirmDraft != text) {
        m_content.edit([&](ContentViewState &state) { state.cloudProfilePasswordConfirmDraft = text; });
    }
}

void AccountPasswordEditorModel::setCurrentPasswordDraft(const QString &text)
{
    if (state().cloudProfileCurrentPasswordDraft != text) {
        m_content.edit([&](ContentViewState &state) { state.cloudProfileCurrentPasswordDraft = text; });
    }
}

void AccountPasswordEditorModel::setCodeDraft(const QString &text)
{
    if (state().cloudProfilePasswordCodeDraft != text) {
        m_content.edit([&](ContentViewState &state) { state.cloudProfilePasswordCodeDraft = text; });
    }
}

bool AccountPasswordEditorModel::showsModeSwitcher() const
{
    return account().cloudProfilePasswordSet();
}

bool AccountPasswordEditorModel::usesCurrentPassword() const
{
    return account().cloudProfilePasswordSet() && !state().cloudProfilePasswordVerificationUsesCode;
}

QString AccountPasswordEditorModel::verificationPhone() const
{
    return AccountInputRules::verificationPhone(state().cloudProfilePasswordPhoneDraft);
}

bool AccountPasswordEditorModel::isProfilePasswordCodeValid() const
{
    return AccountInputRules::isVerificationCode(state().cloudProfilePasswordCodeDraft);
}

QString AccountPasswordEditorModel::profilePasswordHelpText() const
{
    const QString &password = state().cloudProfilePasswordDraft;
    if (password.isEmpty()) {
        return UiText::passwordHelpEmpty;
    }
    QString rule = AccountInputRules::profilePasswordRuleMessage(password, verificationPhone());
    if (!rule.isEmpty()) {
        return rule;
    }
    if (state().cloudProfilePasswordConfirmDraft.isEmpty()) {
        return UiText::passwordHelpRepeat;
    }
    if (state().cloudProfilePasswordConfirmDraft != password) {
        return UiText::passwordHelpMismatch;
    }
    return UiText::passwordHelpAcceptable;
}

QuorvinDynamicColor AccountPasswordEditorModel::profilePasswordHelpColor() const
{
    if (state().cloudProfilePasswordDraft.isEmpty()) {
        return QuorvinMacTheme::secondaryText;
    }
    return profilePasswordHelpText() == UiText::passwordHelpAcceptable ? QuorvinMacTheme::accentBlue
                                                                       : QuorvinMacTheme::warning;
}

QString AccountPasswordEditorModel::profilePasswordCodeButtonLabel() const
{
    if (account().isCloudPhoneCodeRequesting()) {
        return UiText::editorCodeSending;
    }
    return account().cloudPhoneChallengeID().trimmed().isEmpty() ? UiText::passwordCodeRequest
                                                                 : UiText::editorCodeResend;
}

bool AccountPasswordEditorModel::canRequestProfilePasswordPhoneCode() const
{
    return m_content.isLoggedIn() && !usesCurrentPassword()
        && AccountInputRules::isMainlandMobileNumber(verificationPhone()) && !account().isCloudPhoneCodeRequesting()
        && !account().isCloudPhoneCodeVerifying() && !account().isCloudProfileSaving();
}

bool AccountPasswordEditorModel::canUpdateCloudPassword() const
{
    const bool proven = usesCurrentPassword() ? !state().cloudProfileCurrentPasswordDraft.trimmed().isEmpty()
                                              : AccountInputRules::isMainlandMobileNumber(verificationPhone())
            && isProfilePasswordCodeValid() && !account().cloudPhoneChallengeID().trimmed().isEmpty();
    const bool idle = m_content.isLoggedIn() && !account().isCloudProfileSaving()
        && !account().isCloudProfileRefreshing() && !account().isCloudPhoneCodeRequesting()
        && !account().isCloudPhoneCodeVerifying();
    const QString &password = state().cloudProfilePasswordDraft;
    return proven && idle && AccountInputRules::profilePasswordRuleMessage(password, verificationPhone()).isEmpty()
        && state().cloudProfilePasswordConfirmDraft == password;
}

QString AccountPasswordEditorModel::shownCodeHint() const
{
    return usesCurrentPassword() ? QString() : account().cloudPhoneCodeHint();
}

QString AccountPasswordEditorModel::saveLabel() const
{
    return account().isCloudProfileSaving() ? UiText::editorSaving : UiText::editorSave;
}

void AccountPasswordEditorModel::requestCode()
{
    if (canRequestProfilePasswordPhoneCode()) {
        account().requestCloudPhoneCode(verificationPhone());
    }
}

void AccountPasswordEditorModel::saveCloudPassword()
{
    if (!canUpdateCloudPassword()) {
        return;
    }
    const ContentViewState drafts = state();
    const bool usePhoneCode
        = account().cloudProfilePasswordSet() ? drafts.cloudProfilePasswordVerificationUsesCode : true;
    account().updateCloudPassword(drafts.cloudProfilePasswordDraft, drafts.cloudProfileCurrentPasswordDraft,
        verificationPhone(), UnicodeText::foldingDecimalDigits(drafts.cloudProfilePasswordCodeDraft), usePhoneCode);
    // The typed secrets go at once, whatever the answer: a failure is retyped.
    m_content.edit([](ContentViewState &state) {
        state.cloudProfilePasswordDraft.clear();
        state.cloudProfilePasswordConfirmDraft.clear();
        state.cloudProfileCurrentPasswordDraft.clear();
        state.cloudProfilePasswordCodeDraft.clear();
    });
}

} // namespace quorvin

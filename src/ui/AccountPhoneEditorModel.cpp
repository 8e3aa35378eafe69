#include "ui/AccountPhoneEditorModel.h"

#include "account/CloudAccount.h"
#include "platform/core/UnicodeText.h"
#include "ui/AccountInputRules.h"
#include "ui/AccountPopoverModel.h"
#include "ui/ContentViewModel.h"
#include "ui/Strings.h"

namespace quorvin {

AccountPhoneEditorModel::AccountPhoneEditorModel(AccountPopoverModel &popover)
    : m_popover(popover)
    , m_content(popover.content())
{
}

CloudAccount &AccountPhoneEditorModel::account() const
{
    return m_popover.account();
}

const ContentViewState &AccountPhoneEditorModel::state() const
{
    return m_content.state();
}

QString AccountPhoneEditorModel::normalizedDraft() const
{
    return AccountInputRules::normalizedMainlandPhoneInput(state().cloudProfilePhoneDraft);
}

void AccountPhoneEditorModel::openPhoneEditor()
{
    m_popover.resetCloudProfileDrafts();
    m_content.edit([](ContentViewState &state) {
        state.cloudProfilePhoneDraft.clear();
        state.cloudProfilePhoneCodeDraft.clear();
    });
    account().setCloudPhoneChallengeID(QString());
    account().setCloudPhoneCodeHint(QString());
    account().setCloudPhoneLoginStatus(QString());
    m_content.edit([](ContentViewState &state) { state.showingPhoneEditor = true; });
}

void AccountPhoneEditorModel::closePhoneEditor()
{
    if (account().isCloudPhoneCodeRequesting() || account().isCloudPhoneCodeVerifying()) {
        return;
    }
    m_content.edit([](ContentViewState &state) {
        state.showingPhoneEditor = false;
        state.cloudProfilePhoneDraft.clear();
        state.cloudProfilePhoneCodeDraft.clear();
    });
    account().setCloudPhoneChallengeID(QString());
    account().setCloudPhoneCodeHint(QString());
}

void AccountPhoneEditorModel::setPhoneDraft(const QString &text)
{
    if (state().cloudProfilePhoneDraft == text) {
        return;
    }
    m_content.edit([&](ContentViewState &state) {
        state.cloudProfilePhoneDraft = text;
        state.cloudProfilePhoneCodeDraft.clear();
    });
    account().setCloudPhoneChallengeID(QString());
}

void AccountPhoneEditorModel::setCodeDraft(const QString &text)
{
    if (state().cloudProfilePhoneCodeDraft != text) {
        m_content.edit([&](ContentViewState &state) { state.cloudProfilePhoneCodeDraft = text; });
    }
}

bool AccountPhoneEditorModel::profilePhoneChanged() const
{
    const QString number = normalizedDraft();
    return AccountInputRules::isMainlandMobileNumber(number)
        && number != AccountInputRules::normalizedMainlandPhoneInput(m_popover.accountPhoneTextForEditing());
}

bool AccountPhoneEditorModel::isProfilePhoneCodeValid() const
{
    return AccountInputRules::isVerificationCode(state().cloudProfilePhoneCodeDraft);
}

QString AccountPhoneEditorModel::profilePhoneCodeButtonLabel() const
{
    if (account().isCloudPhoneCodeRequesting()) {
        return UiText::editorCodeSending;
    }
    return account().cloudPhoneChallengeID().trimmed().isEmpty() ? UiText::phoneEditorCodeRequest
                                                                 : UiText::editorCodeResend;
}

bool AccountPhoneEditorModel::canRequestProfilePhoneCode() const
{
    return m_content.isLoggedIn() && profilePhoneChanged()
        && AccountInputRules::isMainlandMobileNumber(normalizedDraft()) && !account().isCloudPhoneCodeRequesting()
        && !account().isCloudPhoneCodeVerifying();
}

bool AccountPhoneEditorModel::canUpdateProfilePhone() const
{
    return m_content.isLoggedIn() && profilePhoneChanged()
        && AccountInputRules::isMainlandMobileNumber(normalizedDraft()) && isProfilePhoneCodeValid()
        && !account().cloudPhoneChallengeID().trimmed().isEmpty() && !account().isCloudPhoneCodeRequesting()
        && !account().isCloudPhoneCodeVerifying();
}

QString AccountPhoneEditorModel::numberPlaceholder() const
{
    return m_popover.accountPhoneTextForEditing().isEmpty() ? UiText::phoneEditorNumberPlaceholder
                                                            : m_popover.accountPhoneText();
}

QString AccountPhoneEditorModel::saveLabel() const
{
    return account().isCloudProfileSaving() ? UiText::editorSaving : UiText::editorSave;
}

void AccountPhoneEditorModel::requestCode()
{
    if (canRequestProfilePhoneCode()) {
        account().requestCloudPhoneCode(normalizedDraft());
    }
}

void AccountPhoneEditorModel::save()
{
    if (canUpdateProfilePhone()) {
        account().linkCloudPhoneCode(
            normalizedDraft(), UnicodeText::foldingDecimalDigits(state().cloudProfilePhoneCodeDraft));
    }
}

} // namespace quorvin

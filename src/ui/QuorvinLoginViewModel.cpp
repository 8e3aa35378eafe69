#include "ui/QuorvinLoginViewModel.h"

#include "account/CloudAccount.h"
#include "platform/core/UnicodeText.h"
#include "ui/Strings.h"

#include <algorithm>

namespace quorvin {

QuorvinLoginViewModel::QuorvinLoginViewModel(CloudAccount &account, QObject *parent)
    : QObject(parent)
    , m_account(account)
    , m_seenPhoneCodeHint(account.cloudPhoneCodeHint())
{
    connect(&m_account, &CloudAccount::changed, this, &QuorvinLoginViewModel::accountChanged);
}

void QuorvinLoginViewModel::setPhoneNumberText(const QString &text)
{
    if (text == m_phoneNumberText) {
        return;
    }
    m_phoneNumberText = text;
    clearPhoneChallenge();
    Q_EMIT changed();
}

void QuorvinLoginViewModel::setPhoneCodeText(const QString &text)
{
    if (text != m_phoneCodeText) {
        m_phoneCodeText = text;
        Q_EMIT changed();
    }
}

void QuorvinLoginViewModel::setPasswordText(const QString &text)
{
    if (text != m_passwordText) {
        m_passwordText = text;
        Q_EMIT changed();
    }
}

void QuorvinLoginViewModel::setHasAcceptedPolicies(bool accepted)
{
    if (accepted != m_hasAcceptedPolicies) {
        m_hasAcceptedPolicies = accepted;
        Q_EMIT changed();
    }
}

QString QuorvinLoginViewModel::phoneNumberForRequest(const QString &typed)
{
    QString phone = UnicodeText::foldingDecimalDigits(typed.trimmed());
    for (const QChar removed : {u' ', u'-', u'(', u')'}) {
        phone.remove(removed);
    }
    if (UnicodeText::hasCharacterPrefix(phone, QStringLiteral("+86"))) {
        return UnicodeText::droppingFirstCharacters(phone, 3);
    }
    if (UnicodeText::hasCharacterPrefix(phone, QStringLiteral("86")) && UnicodeText::characterCount(phone) == 13) {
        return UnicodeText::droppingFirstCharacters(phone, 2);
    }
    return phone;
}

QString QuorvinLoginViewModel::phoneNumberForRequest() const
{
    return phoneNumberForRequest(m_phoneNumberText);
}

bool QuorvinLoginViewModel::isMainlandMobileNumber(const QString &phone)
{
    return UnicodeText::characterCount(phone) == 11 && UnicodeText::hasCharacterPrefix(phone, QStringLiteral("1"))
        && UnicodeText::isAllNumeric(phone);
}

bool QuorvinLoginViewModel::isPhoneCode(const QString &code)
{
    const QString trimmed = UnicodeText::foldingDecimalDigits(code.trimmed());
    return UnicodeText::characterCount(trimmed) == 6 && UnicodeText::isAllNumeric(trimmed);
}

QuorvinLoginViewModel::StatusTone QuorvinLoginViewModel::statusTone(const QString &statusText)
{
    const bool failure = std::any_of(UiText::loginFailureTerms.cbegin(), UiText::loginFailureTerms.cend(),
        [&](const QString &term) { return statusText.contains(term); });
    return failure ? StatusTone::Danger : StatusTone::Secondary;
}

QUrl QuorvinLoginViewModel::userAgreementURL()
{
    return QUrl(UiText::userAgreementURL);
}

QUrl QuorvinLoginViewModel::privacyPolicyURL()
{
    return QUrl(UiText::privacyPolicyURL);
}

bool QuorvinLoginViewModel::canUseLogin() const
{
    return !m_account.isCloudPhoneCodeRequesting() && !m_account.isCloudPhoneCodeVerifying()
        && !m_account.isCloudPasswordLoggingIn();
}

bool QuorvinLoginViewModel::canRequestPhoneCode() const
{
    return m_hasAcceptedPolicies && isMainlandMobileNumber(phoneNumberForRequest()) && canUseLogin();
}

bool QuorvinLoginViewModel::canSubmitPrimaryLogin() const
{
    if (!m_hasAcceptedPolicies || !isMainlandMobileNumber(phoneNumberForRequest())) {
        return false;
    }
    if (m_loginMode == LoginMode::Code) {
        return isPhoneCode(m_phoneCodeText) && !m_account.cloudPhoneChallengeID().trimmed().isEmpty() && canUseLogin();
    }
    // The password is sent exactly as typed: spaces are characters of it.
    return !m_passwordText.isEmpty() && canUseLogin();
}

QString QuorvinLoginViewModel::phoneCodeRequestButtonLabel() const
{
    if (m_account.isCloudPhoneCodeRequesting()) {
        return UiText::loginCodeSending;
    }
    return m_account.cloudPhoneChallengeID().trimmed().isEmpty() ? UiText::loginCodeRequest : UiText::loginCodeResend;
}

QString QuorvinLoginViewModel::primaryLoginButtonLabel() const
{
    if (m_loginMode == LoginMode::Code) {
        return m_account.isCloudPhoneCodeVerifying() ? UiText::loginInProgress : UiText::loginCodeSubmit;
    }
    return m_account.isCloudPasswordLoggingIn() ? UiText::loginInProgress : UiText::loginPasswordSubmit;
}

QString QuorvinLoginViewModel::modeSwitchLabel() const
{
    return m_loginMode == LoginMode::Password ? UiText::loginUseCode : UiText::loginUsePassword;
}

QString QuorvinLoginViewModel::statusText() const
{
    const QString status = m_account.cloudPhoneLoginStatus().trimmed();
    return status.isEmpty() ? m_account.cloudPhoneCodeHint().trimmed() : status;
}

void QuorvinLoginViewModel::appear()
{
    setPhoneNumberText(m_account.cloudPhoneNumber());
    moveFocus(LoginField::Phone);
}

void QuorvinLoginViewModel::submitPrimaryLogin()
{
    // Return reaches this also while the button is disabled: the one place the missing consent
    // is said.
    if (!m_hasAcceptedPolicies) {
        m_account.setCloudPhoneLoginStatus(UiText::loginConsentRequired);
        return;
    }
    if (!canSubmitPrimaryLogin()) {
        return;
    }
    if (m_loginMode == LoginMode::Code) {
        m_account.verifyCloudPhoneCode(
            phoneNumberForRequest(), UnicodeText::foldingDecimalDigits(m_phoneCodeText.trimmed()));
    } else {
        m_account.loginWithCloudPassword(phoneNumberForRequest(), m_passwordText);
    }
}

void QuorvinLoginViewModel::requestPhoneCode()
{
    if (canRequestPhoneCode()) {
        m_account.requestCloudPhoneCode(phoneNumberForRequest());
    }
}

void QuorvinLoginViewModel::toggleLoginMode()
{
    if (!canUseLogin()) {
        return;
    }
    m_loginMode = m_loginMode == LoginMode::Password ? LoginMode::Code : LoginMode::Password;
    m_account.setCloudPhoneLoginStatus(QString());
    moveFocus(m_loginMode == LoginMode::Password ? LoginField::Password : LoginField::Code);
    Q_EMIT changed();
}

void QuorvinLoginViewModel::clearPhoneChallenge()
{
    if (!m_phoneCodeText.isEmpty()) {
        m_phoneCodeText.clear();
        Q_EMIT changed();
    }
    m_account.setCloudPhoneChallengeID(QString());
    m_account.setCloudPhoneCodeHint(QString());
    m_account.setCloudPhoneLoginStatus(QString());
}

void QuorvinLoginViewModel::moveFocus(LoginField field)
{
    m_focusedField = field;
    Q_EMIT focusRequested(field);
}

void QuorvinLoginViewModel::accountChanged()
{
    const QString hint = m_account.cloudPhoneCodeHint();
    if (hint != m_seenPhoneCodeHint) {
        m_seenPhoneCodeHint = hint;
        // A development code fills an empty code field; typed text is never overwritten.
        if (m_phoneCodeText.isEmpty() && hint.startsWith(UiText::developmentCodePrefix)) {
            const QString code = hint.mid(UiText::developmentCodePrefix.size()).trimmed();
            if (!code.isEmpty()) {
                m_phoneCodeText = code;
                moveFocus(LoginField::Code);
            }
        }
    }
    Q_EMIT changed();
}

} // namespace quorvin

#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

namespace quorvin {

class CloudAccount;

// The login card's model. It checks and normalises what the user types and hands the work to the
// account's sign-in operations, which return at once; progress, results and errors come back
// through the account's published state. Its own state starts fresh with each card: password
// mode, empty fields, consent not given.
class QuorvinLoginViewModel : public QObject {
    Q_OBJECT
public:
    enum class LoginMode { Code, Password };
    enum class LoginField { None, Phone, Code, Password };
    enum class StatusTone { Secondary, Danger };

    explicit QuorvinLoginViewModel(CloudAccount &account, QObject *parent = nullptr);

    // ---- state
    LoginMode loginMode() const { return m_loginMode; }
    const QString &phoneNumberText() const { return m_phoneNumberText; }
    // Any change drops a requested code: a code is verified against the number it was sent to.
    void setPhoneNumberText(const QString &text);
    const QString &phoneCodeText() const { return m_phoneCodeText; }
    void setPhoneCodeText(const QString &text);
    const QString &passwordText() const { return m_passwordText; }
    void setPasswordText(const QString &text);
    bool hasAcceptedPolicies() const { return m_hasAcceptedPolicies; }
    void setHasAcceptedPolicies(bool accepted);
    LoginField focusedField() const { return m_focusedField; }
    // The view reports where the keyboard focus went.
    void setFocusedField(LoginField field) { m_focusedField = field; }

    // ---- what the card shows
    QString phoneNumberForRequest() const;
    bool canUseLogin() const;
    bool canRequestPhoneCode() const;
    bool canSubmitPrimaryLogin() const;
    QString phoneCodeRequestButtonLabel() const;
    QString primaryLoginButtonLabel() const;
    QString modeSwitchLabel() const;
    QString statusText() const;
    StatusTone statusTone() const { return statusTone(statusText()); }

    // ---- actions
    // The card appeared: the stored phone number fills the field and takes the focus.
    void appear();
    // The primary button and Return in the code or password field.
    void submitPrimaryLogin();
    void requestPhoneCode();
    void toggleLoginMode();
    void clearPhoneChallenge();

    // ---- the rules, on plain values
    // Trimmed; spaces, "-", "(" and ")" removed; a leading "+86", or the "86" of a 13-character
    // number, dropped. Nothing else is touched.
    static QString phoneNumberForRequest(const QString &typed);
    // 11 characters, the first "1", all numeric.
    static bool isMainlandMobileNumber(const QString &phone);
    // Trimmed: 6 characters, all numeric.
    static bool isPhoneCode(const QString &code);
    // Danger when the text contains any of the failure terms.
    static StatusTone statusTone(const QString &statusText);
    static QUrl userAgreementURL();
    static QUrl privacyPolicyURL();

Q_SIGNALS:
    void changed();
    // The card should move the keyboard focus to `field`.
    void focusRequested(quorvin::QuorvinLoginViewModel::LoginField field);

private:
    void accountChanged();
    void moveFocus(LoginField field);

    CloudAccount &m_account;
    LoginMode m_loginMode = LoginMode::Password;
    QString m_phoneNumberText;
    QString m_phoneCodeText;
    QString m_passwordText;
    bool m_hasAcceptedPolicies = false;
    LoginField m_focusedField = LoginField::None;
    QString m_seenPhoneCodeHint;
};

} // namespace quorvin

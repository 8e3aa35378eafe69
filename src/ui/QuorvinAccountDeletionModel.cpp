#include "ui/QuorvinAccountDeletionModel.h"

#include "account/CloudAccount.h"
#include "platform/concurrency/Spawn.h"
#include "platform/core/Error.h"
#include "platform/core/UnicodeText.h"
#include "ui/Strings.h"

#include <QPointer>

namespace quorvin {

namespace {

QString describe(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const Error *>(&error)) {
        return own->description();
    }
    return QString::fromUtf8(error.what());
}

} // namespace

QuorvinAccountDeletionModel::QuorvinAccountDeletionModel(
    CloudAccount &account, QString suggestedPhoneNumber, QObject *parent)
    : QObject(parent)
    , m_account(account)
    , m_suggestedPhoneNumber(std::move(suggestedPhoneNumber))
{
    connect(&m_account, &CloudAccount::changed, this, &QuorvinAccountDeletionModel::changed);
}

void QuorvinAccountDeletionModel::appear()
{
    const QString digits = UnicodeText::numericCharacters(UnicodeText::foldingDecimalDigits(m_suggestedPhoneNumber));
    m_phoneNumber = UnicodeText::characterCount(digits) == 11 ? digits : QString();
    Q_EMIT changed();
}

void QuorvinAccountDeletionModel::setCode(const QString &code)
{
    if (m_code != code) {
        m_code = code;
        Q_EMIT changed();
    }
}

void QuorvinAccountDeletionModel::setConfirmationText(const QString &text)
{
    if (m_confirmationText != text) {
        m_confirmationText = text;
        Q_EMIT changed();
    }
}

void QuorvinAccountDeletionModel::setStatus(const QString &status)
{
    m_status = status;
    Q_EMIT changed();
}

bool QuorvinAccountDeletionModel::isDeleting() const
{
    return m_account.isCloudAccountDeleting();
}

QString QuorvinAccountDeletionModel::normalizedPhoneNumber() const
{
    return UnicodeText::numericCharacters(UnicodeText::foldingDecimalDigits(m_phoneNumber));
}

bool QuorvinAccountDeletionModel::canRequestCode() const
{
    const QString phone = normalizedPhoneNumber();
    return UnicodeText::characterCount(phone) == 11 && UnicodeText::hasCharacterPrefix(phone, QStringLiteral("1"))
        && !m_isRequestingCode && !isDeleting();
}

bool QuorvinAccountDeletionModel::canDelete() const
{
    // The code is taken as typed: a blank around it is a mistake to show, not to mend.
    const QString code = UnicodeText::foldingDecimalDigits(m_code);
    return canRequestCode() && !m_challengeID.isEmpty() && UnicodeText::characterCount(code) == 6
        && UnicodeText::isAllNumeric(code) && m_confirmationText.trimmed() == UiText::deletionConfirmationSentence;
}

bool QuorvinAccountDeletionModel::canCancel() const
{
    return !m_isRequestingCode && !isDeleting();
}

QString QuorvinAccountDeletionModel::codeButtonLabel() const
{
    if (m_isRequestingCode) {
        return UiText::deletionCodeSending;
    }
    return m_challengeID.isEmpty() ? UiText::deletionCodeRequest : UiText::deletionCodeResend;
}

QString QuorvinAccountDeletionModel::deleteButtonLabel() const
{
    return isDeleting() ? UiText::deletionRunning : UiText::deletionConfirm;
}

void QuorvinAccountDeletionModel::requestCode()
{
    if (!canRequestCode()) {
        return;
    }
    m_isRequestingCode = true;
    m_challengeID.clear();
    m_code.clear();
    setStatus(UiText::deletionSendingCode);
    spawn(runCodeRequest(normalizedPhoneNumber()), QStringLiteral("account deletion code"));
}

QCoro::Task<void> QuorvinAccountDeletionModel::runCodeRequest(QString phoneNumber)
{
    QPointer<QuorvinAccountDeletionModel> self(this);
    CloudAccount &account = m_account;
    try {
        const CloudPhoneCodeRequestResponse answer = co_await account.requestCloudAccountDeletionCode(phoneNumber);
        if (!self) {
            co_return;
        }
        m_challengeID = answer.challenge_id.trimmed();
        const QString devCode = answer.dev_code.value_or(QString()).trimmed();
        if (!devCode.isEmpty()) {
            m_code = devCode;
            m_status = UiText::developmentCodePrefix + devCode;
        } else {
            m_status = UiText::deletionCodeSent;
        }
    } catch (const std::exception &error) {
        if (!self) {
            co_return;
        }
        m_status = describe(error);
    }
    m_isRequestingCode = false;
    Q_EMIT changed();
}

void QuorvinAccountDeletionModel::confirmDeletion()
{
    // The account marks its deletion running before its request goes out, so a second press
    // finds this false and cannot start, close or report anything.
    if (!canDelete()) {
        return;
    }
    setStatus(UiText::deletionInProgress);
    spawn(runDeletion(
              normalizedPhoneNumber(), m_challengeID, UnicodeText::foldingDecimalDigits(m_code), m_confirmationText),
        QStringLiteral("account deletion"));
}

QCoro::Task<void> QuorvinAccountDeletionModel::runDeletion(
    QString phoneNumber, QString challengeID, QString code, QString confirmationText)
{
    QPointer<QuorvinAccountDeletionModel> self(this);
    CloudAccount &account = m_account;
    try {
        co_await account.deleteCloudAccount(phoneNumber, challengeID, code, confirmationText);
    } catch (const std::exception &error) {
        // A page closed meanwhile has nobody to tell.
        if (self) {
            setStatus(describe(error));
        }
        co_return;
    }
    if (self) {
        Q_EMIT closeRequested();
    }
    if (self) {
        Q_EMIT deleted();
    }
}

void QuorvinAccountDeletionModel::cancel()
{
    if (canCancel()) {
        Q_EMIT closeRequested();
    }
}

} // namespace quorvin

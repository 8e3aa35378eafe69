// Deleting the cloud account for good. Unlike the other operations these two throw to the page
// that called them, which shows the error.

#include "account/CloudAccount.h"

#include "account/CloudAccountOwner.h"
#include "account/Strings.h"
#include "activity/ActivityLog.h"
#include "activity/Strings.h"
#include "cloud/CloudSyncClient.h"
#include "model/SyncError.h"
#include "platform/core/DiagnosticSink.h"

#include <QPointer>

namespace quorvin {

QCoro::Task<CloudPhoneCodeRequestResponse> CloudAccount::requestCloudAccountDeletionCode(QString phoneNumber)
{
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        throw SyncError::invalidRequest(AccountText::missingBaseURLOrToken);
    }
    if (!m_cloudPhoneLinked) {
        throw SyncError::invalidRequest(AccountText::noLinkedPhone);
    }
    co_return co_await makeClient(baseURL, token).requestPhoneLoginCode(phoneNumber);
}

QCoro::Task<void> CloudAccount::deleteCloudAccount(
    QString phoneNumber, QString challengeID, QString code, QString confirmationText)
{
    if (m_isCloudAccountDeleting) {
        co_return;
    }
    const QString baseURL = normalizedCloudBaseURL();
    const QString token = currentToken();
    if (baseURL.isEmpty() || token.isEmpty()) {
        throw SyncError::invalidRequest(AccountText::missingBaseURLOrToken);
    }
    // Set before the request goes out, so that a second press finds the deletion running.
    setIsCloudAccountDeleting(true);
    QPointer<CloudAccount> self(this);
    CloudAccountDeletionResponse answer;
    try {
        // The client sends the mainland form of the number and the other three texts trimmed; the
        // service alone judges the code and the confirmation.
        answer = co_await makeClient(baseURL, token).deleteAccount(phoneNumber, challengeID, code, confirmationText);
    } catch (...) {
        if (self) {
            setIsCloudAccountDeleting(false);
        }
        throw;
    }
    if (!self) {
        co_return;
    }
    if (!answer.deleted) {
        setIsCloudAccountDeleting(false);
        throw SyncError::invalidRequest(AccountText::deletionNotConfirmed);
    }
    setIsCloudAccountDeleting(false);
    // The deleted account is the one the request was sent for; another that signed in meanwhile
    // keeps its token and state.
    if (!isCurrentOrSignedOut(token)) {
        m_log.appendLog(AccountText::logAccountDeletedSuperseded);
        co_return;
    }
    applyCloudAuthToken(QString(), AccountText::logAccountDeleted);
    m_owner.markSyncSuccess(AccountText::accountDeleted);
    m_activityLog.appendActivityLog(ActivityText::categoryUser, AccountText::activityAccountDeleted,
        {AccountText::activityAccountDeletedServerDetail, AccountText::activityAccountDeletedLocalDetail});
}

} // namespace quorvin

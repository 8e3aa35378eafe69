#pragma once

#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

namespace quorvin {

class CloudAccount;

// The confirmation page before the account is deleted for good: a code sent to the account's own
// number, the typed confirmation sentence, and a last press. Unlike the other account screens it
// awaits the account's two deletion operations itself and keeps its own status line. It starts
// empty each time the page opens; an answer that arrives after the page has gone is dropped.
class QuorvinAccountDeletionModel : public QObject {
    Q_OBJECT
public:
    QuorvinAccountDeletionModel(CloudAccount &account, QString suggestedPhoneNumber, QObject *parent = nullptr);

    // The page appeared: an 11-digit suggested number becomes the number the code goes to.
    void appear();

    const QString &phoneNumber() const { return m_phoneNumber; }
    const QString &challengeID() const { return m_challengeID; }
    const QString &code() const { return m_code; }
    void setCode(const QString &code);
    const QString &confirmationText() const { return m_confirmationText; }
    void setConfirmationText(const QString &text);
    const QString &status() const { return m_status; }
    bool isRequestingCode() const { return m_isRequestingCode; }
    bool isDeleting() const;

    QString normalizedPhoneNumber() const;
    bool canRequestCode() const;
    bool canDelete() const;
    bool canCancel() const;
    QString codeButtonLabel() const;
    QString deleteButtonLabel() const;

    void requestCode();
    void confirmDeletion();
    // "取消": the page closes.
    void cancel();

Q_SIGNALS:
    void changed();
    // The page closes itself (cancel, or a confirmed deletion).
    void closeRequested();
    // After a confirmed deletion, once the page has asked to close.
    void deleted();

private:
    QCoro::Task<void> runCodeRequest(QString phoneNumber);
    QCoro::Task<void> runDeletion(QString phoneNumber, QString challengeID, QString code, QString confirmationText);
    void setStatus(const QString &status);

    CloudAccount &m_account;
    QString m_suggestedPhoneNumber;
    QString m_phoneNumber;
    QString m_challengeID;
    QString m_code;
    QString m_confirmationText;
    QString m_status;
    bool m_isRequestingCode = false;
};

} // namespace quorvin

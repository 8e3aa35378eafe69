#pragma once

#include "ui/AccountEditorOverlay.h"
#include "ui/QuorvinAccountDeletionModel.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvin {

// The account deletion page, laid over the account sheet on a darker backdrop. It draws its
// model, which owns everything typed and the page's own status line.
class QuorvinAccountDeletionView : public AccountEditorOverlay {
    Q_OBJECT
public:
    QuorvinAccountDeletionView(CloudAccount &account, const QString &suggestedPhoneNumber, QWidget *parent = nullptr);

    QuorvinAccountDeletionModel &model() { return m_model; }

private:
    void render();

    QuorvinAccountDeletionModel m_model;
    QLineEdit *m_code;
    QPushButton *m_codeButton;
    QLineEdit *m_confirmation;
    QLabel *m_status;
    QPushButton *m_cancel;
    QPushButton *m_confirm;
};

} // namespace quorvin

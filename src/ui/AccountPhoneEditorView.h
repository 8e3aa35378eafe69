#pragma once

#include "ui/AccountEditorOverlay.h"

class QLabel;
class QLineEdit;

namespace quorvin {

class AccountPhoneEditorModel;
class QuorvinLabel;
class QuorvinPillButton;
class QuorvinTextButton;

// The phone editor over the account sheet: the new number with its code button, the code, and
// the account's hint and status lines as they stand.
class AccountPhoneEditorView : public AccountEditorOverlay {
    Q_OBJECT
public:
    AccountPhoneEditorView(AccountPhoneEditorModel &model, QWidget *parent = nullptr);

    void render();

private:
    AccountPhoneEditorModel &m_model;
    QuorvinTextButton *m_save;
    QLineEdit *m_number;
    QuorvinPillButton *m_codeButton;
    QLineEdit *m_code;
    QuorvinLabel *m_hint;
    QuorvinLabel *m_status;
};

} // namespace quorvin

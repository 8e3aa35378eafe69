#pragma once

#include "ui/AccountEditorOverlay.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QWidget;

namespace quorvin {

class AccountPasswordEditorModel;
class QuorvinLabel;
class QuorvinPillButton;
class QuorvinTextButton;

// The password editor over the account sheet: the choice of proof (for an account that has a
// password), the proof, the new password twice, the rule hint and the account's status.
class AccountPasswordEditorView : public AccountEditorOverlay {
    Q_OBJECT
public:
    AccountPasswordEditorView(AccountPasswordEditorModel &model, QWidget *parent = nullptr);

    void render();

private:
    AccountPasswordEditorModel &m_model;
    QuorvinTextButton *m_save;
    QWidget *m_modeSwitcher;
    QAbstractButton *m_currentMode;
    QAbstractButton *m_codeMode;
    QWidget *m_currentRow;
    QLineEdit *m_current;
    QWidget *m_codeRow;
    QLineEdit *m_code;
    QuorvinPillButton *m_codeButton;
    QLineEdit *m_password;
    QLineEdit *m_confirm;
    QuorvinLabel *m_help;
    QuorvinLabel *m_hint;
    QuorvinLabel *m_status;
};

} // namespace quorvin

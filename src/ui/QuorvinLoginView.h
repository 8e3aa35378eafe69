#pragma once

#include "ui/QuorvinLoginViewModel.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace quorvin {

class CloudAccount;
class QuorvinTextButton;
class QuorvinFilledButton;
class QuorvinLabel;
class QuorvinUnderlinedField;

// Everything the user sees while signed out: a rounded card with the welcome on the left and the
// sign-in form on the right, by password (the form it opens with) or by SMS code, and a round
// close button that quits the application at once. The card is drawn by the view itself; the
// window around it is borderless and see-through.
class QuorvinLoginView : public QWidget {
    Q_OBJECT
public:
    // `quit` ends the application without asking.
    QuorvinLoginView(CloudAccount &account, std::function<void()> quit, QWidget *parent = nullptr);

    QuorvinLoginViewModel &model() { return m_model; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeHero();
    QWidget *makeForm();
    void render();
    void applyTheme();
    void focusField(QuorvinLoginViewModel::LoginField field);

    QuorvinLoginViewModel m_model;
    std::function<void()> m_quit;
    bool m_appeared = false;

    QWidget *m_close = nullptr;
    QuorvinLabel *m_welcome = nullptr;
    QWidget *m_divider = nullptr;
    QuorvinUnderlinedField *m_phoneField = nullptr;
    QuorvinUnderlinedField *m_passwordField = nullptr;
    QuorvinUnderlinedField *m_codeField = nullptr;
    QuorvinTextButton *m_requestCode = nullptr;
    QuorvinLabel *m_registerHint = nullptr;
    QuorvinTextButton *m_modeSwitch = nullptr;
    QCheckBox *m_consent = nullptr;
    QList<QLabel *> m_consentLinks;
    QuorvinFilledButton *m_submit = nullptr;
    QuorvinLabel *m_status = nullptr;
};

} // namespace quorvin

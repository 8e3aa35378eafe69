#pragma once

#include "ui/MainWindowDialogsModel.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractButton;
class QDialog;
class QMessageBox;
class QWidget;

namespace quorvin {

class ContentViewModel;
class LoginItem;
class QuorvinMacService;
class QuorvinUpdateController;

// Shows the main window's dialogs as the main view's state asks: the four confirmations, the
// launch-at-login offer and its failure, and the about sheet. Each is window-modal without
// blocking, and closing it any way answers it as its cancel button would.
class MainWindowDialogs : public QObject {
    Q_OBJECT
public:
    MainWindowDialogs(QuorvinMacService &service, ContentViewModel &content, LoginItem &loginItem,
        QuorvinUpdateController &updates, QWidget *window);

    MainWindowDialogsModel &model() { return m_model; }

private:
    void render();
    // Opens `box` as `slot`'s dialog; `answer` gets the button that closed it (null for none).
    void present(QPointer<QMessageBox> &slot, QMessageBox *box, std::function<void(QAbstractButton *)> answer);
    QMessageBox *makeBox(const QString &name, const QString &title, const QString &message);
    void openCleanupResult();

    ContentViewModel &m_content;
    QuorvinUpdateController &m_updates;
    QWidget *m_window;
    MainWindowDialogsModel m_model;
    QPointer<QMessageBox> m_rebuild;
    QPointer<QMessageBox> m_precheck;
    QPointer<QMessageBox> m_result;
    QPointer<QMessageBox> m_upload;
    QPointer<QMessageBox> m_prompt;
    QPointer<QMessageBox> m_promptError;
    QPointer<QDialog> m_about;
};

} // namespace quorvin

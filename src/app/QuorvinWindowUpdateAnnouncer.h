#pragma once

#include "app/QuorvinUpdateAnnouncer.h"

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QMessageBox;
class QWidget;

namespace quorvin {

class QuorvinUpdateController;

// The announcement as a window-modal message on the main window. Created when the main window
// exists; from then on the window becoming key and the application becoming active reach the
// controller, and one check and announcement run on the next turn of the event loop.
class QuorvinWindowUpdateAnnouncer final : public QObject, public QuorvinUpdateAnnouncer {
    Q_OBJECT
public:
    QuorvinWindowUpdateAnnouncer(QWidget *mainWindow, QuorvinUpdateController &controller);
    ~QuorvinWindowUpdateAnnouncer() override;

    bool canAnnounce() const override;
    void announce(const QuorvinAvailableUpdate &update, std::function<void()> updateNow) override;

    // The informative text of the announcement for `version`.
    static QString informativeText(const QString &version);
    // The announcement's two answers, "update now" the default and "later" on Escape, as the
    // window's announcement and an update check started by the user both offer them. Returns the
    // "update now" button.
    static QAbstractButton *addUpdateChoice(QMessageBox &alert);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    QuorvinUpdateController &m_controller;
};

} // namespace quorvin

#pragma once

#include <QWidget>

class QLabel;

namespace quorvin {

class QuorvinFilledButton;
class QuorvinUpdateController;

// The signed-in window's title in its toolbar: "Quorvin", and while a newer build is available a
// small "更新" capsule that starts the update check.
class QuorvinMainWindowTitle : public QWidget {
    Q_OBJECT
public:
    explicit QuorvinMainWindowTitle(QuorvinUpdateController &updates, QWidget *parent = nullptr);

    QWidget *updateButton() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void render();

    QuorvinUpdateController &m_updates;
    QLabel *m_title;
    QuorvinFilledButton *m_update;
};

} // namespace quorvin

#pragma once

#include "app/LaunchAtLoginSettingsModel.h"

#include <QPointer>
#include <QWidget>

class QMessageBox;

namespace quorvin {

class QuorvinBehaviorToggle;
class QuorvinLabel;
class UserDefaults;

// The "开机自启动" switch: it shows whether the desktop starts the application at login (read
// again each time it is shown), explains the states that need the user, and reports a refused
// change in an alert.
class LaunchAtLoginSettingsToggle : public QWidget {
    Q_OBJECT
public:
    LaunchAtLoginSettingsToggle(LoginItem &loginItem, UserDefaults &defaults, QWidget *parent = nullptr);

    LaunchAtLoginSettingsModel &model() { return m_model; }
    QuorvinBehaviorToggle *toggle() const { return m_toggle; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void render();
    void showDetail();

    LaunchAtLoginSettingsModel m_model;
    QuorvinBehaviorToggle *m_toggle;
    QuorvinLabel *m_detail;
    QPointer<QMessageBox> m_alert;
};

} // namespace quorvin

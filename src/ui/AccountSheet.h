#pragma once

#include "ui/AccountPasswordEditorModel.h"
#include "ui/AccountPhoneEditorModel.h"
#include "ui/AccountPopoverModel.h"
#include "ui/QuorvinAccountDeletionView.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <memory>
#include <vector>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace quorvin {

class AccountAvatarButton;
class AccountAvatarImageLoader;
class AccountPasswordEditorView;
class AccountPhoneEditorView;
class AvatarImageChooser;
class QuorvinLabel;
class QuorvinTextButton;

// The account sheet, window-modal over the main window: the identity header (avatar, nickname,
// logout), the personal information card (phone, password), the connected devices with their
// removal, and the way into account deletion. The phone and password editors and the deletion
// page are laid over it. It shows and hides itself with the main view's showingAccountPopover;
// every appearance resets the drafts and reloads the profile quietly.
class AccountSheet : public QDialog {
    Q_OBJECT
public:
    AccountSheet(ContentViewModel &content, AccountAvatarImageLoader &avatar, QWidget *parent = nullptr);
    ~AccountSheet() override;

    AccountPopoverModel &popover() { return m_popover; }
    AccountPhoneEditorModel &phoneEditor() { return m_phoneEditor; }
    AccountPasswordEditorModel &passwordEditor() { return m_passwordEditor; }
    // Null while the deletion page is not shown.
    QuorvinAccountDeletionView *deletionView() const { return m_deletion; }
    // The removal confirmation while one is open.
    QMessageBox *deviceRemovalConfirmation() const { return m_removalConfirmation; }

    // Tests hand in a chooser of their own; the desktop's file dialog is the default. Not owned.
    void setAvatarImageChooser(AvatarImageChooser *chooser);

public Q_SLOTS:
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *makeIdentityHeader(QWidget *parent);
    QWidget *makePersonalInfo(QWidget *parent);
    QWidget *makeDevices(QWidget *parent);
    void render();
    void renderDevices();
    void renderRemovalConfirmation();
    void renderDeletionPage();
    void chooseAvatar();
    void placeOverlays();

    ContentViewModel &m_content;
    AccountAvatarImageLoader &m_avatar;
    AccountPopoverModel m_popover;
    AccountPhoneEditorModel m_phoneEditor;
    AccountPasswordEditorModel m_passwordEditor;
    std::unique_ptr<AvatarImageChooser> m_ownChooser;
    AvatarImageChooser *m_chooser;

    AccountAvatarButton *m_avatarButton = nullptr;
    QStackedWidget *m_nickname = nullptr;
    QScrollArea *m_scroll = nullptr;
    QuorvinLabel *m_title = nullptr;
    QuorvinTextButton *m_nicknameEdit = nullptr;
    QLineEdit *m_nicknameField = nullptr;
    QuorvinTextButton *m_nicknameSave = nullptr;
    QuorvinTextButton *m_logout = nullptr;
    QLabel *m_profileStatus = nullptr;
    QAbstractButton *m_phoneVisibility = nullptr;
    QLabel *m_phoneText = nullptr;
    QuorvinTextButton *m_phoneEdit = nullptr;
    QLabel *m_passwordValue = nullptr;
    QuorvinTextButton *m_passwordEdit = nullptr;
    QuorvinTextButton *m_devicesRefresh = nullptr;
    QLabel *m_devicesEmpty = nullptr;
    QWidget *m_deviceList = nullptr;
    QVBoxLayout *m_deviceRows = nullptr;
    QString m_shownDevices;
    struct DeviceRow {
        CloudDeviceSessionPayload session;
        QuorvinTextButton *remove = nullptr;
    };
    std::vector<DeviceRow> m_devices;
    QuorvinTextButton *m_deleteAccount = nullptr;
    AccountPhoneEditorView *m_phoneEditorView = nullptr;
    AccountPasswordEditorView *m_passwordEditorView = nullptr;
    QPointer<QuorvinAccountDeletionView> m_deletion;
    QPointer<QMessageBox> m_removalConfirmation;
};

} // namespace quorvin

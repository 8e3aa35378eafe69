#include "AccountSheetRig.h"
#include "ui/AccountAvatarButton.h"
#include "ui/AccountSheet.h"
#include "ui/AvatarImageChooser.h"
#include "ui/ContentView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvin;
using namespace quorvin::test;

namespace {

// Hands back one picked file without any dialog.
class PickingChooser final : public AvatarImageChooser {
public:
    explicit PickingChooser(QUrl file)
        : m_file(std::move(file))
    {
    }
    void choose(QWidget *, std::function<void(Result)> done) override
    {
        ++opened;
        done({{m_file}, std::nullopt});
    }
    int opened = 0;

private:
    QUrl m_file;
};

template <typename T = QWidget> T *child(QWidget *root, const char *name)
{
    T *found = root->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Types as the keyboard does (any script), so the field reports an edit.
void type(QLineEdit *field, const QString &text)
{
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text, Qt::NoModifier);
}

void click(QWidget *root, const char *name)
{
    if (auto *button = child<QAbstractButton>(root, name)) {
        ASSERT_TRUE(button->isEnabled()) << name;
        button->click();
    }
}

} // namespace

TEST(AccountSheetView, OpensFromTheToolbarAndDrivesEveryEditor)
{
    SheetRig rig;
    // The service hands out avatars from its own host; the picture is whatever was uploaded.
    rig.server.route(u8("GET"), u8("/:file"),
        [&rig](const CloudRequest &) { return CloudResponse::text(rig.server.user(rig.userId)->avatarData); });
    ContentView view(rig.context());
    view.show();
    ManualClock::drainEvents();
    click(&view, "accountToolbarButton");
    rig.settle();
    AccountSheet *sheet = view.accountSheet();
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_EQ(child<QLabel>(sheet, "accountTitleLabel")->text(), u8("小林"));
    EXPECT_EQ(view.accountButton()->accessibleName(), u8("小林"));
    // The avatar button toggles the sheet; each opening starts from fresh drafts.
    click(sheet, "nicknameEditButton");
    type(child<QLineEdit>(sheet, "nicknameField"), u8("草稿"));
    click(&view, "accountToolbarButton");
    EXPECT_FALSE(sheet->isVisible());
    click(&view, "accountToolbarButton");
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_FALSE(child(sheet, "nicknameField")->isVisible());
    EXPECT_EQ(view.model().state().cloudProfileNicknameDraft, u8("小林"));
    rig.settle();

    // The number, masked until the eye is pressed.
    EXPECT_EQ(child<QLabel>(sheet, "accountPhoneText")->text(), u8("+86139****8135"));
    click(sheet, "phoneVisibilityButton");
    EXPECT_EQ(child<QLabel>(sheet, "accountPhoneText")->text(), u8("+8613902468135"));
    EXPECT_EQ(child(sheet, "phoneVisibilityButton")->accessibleName(), u8("隐藏手机号"));

    // Nickname.
    click(sheet, "nicknameEditButton");
    auto *nickname = child<QLineEdit>(sheet, "nicknameField");
    nickname->selectAll();
    type(nickname, u8("林小"));
    QTest::keyClick(nickname, Qt::Key_Return);
    EXPECT_TRUE(nickname->isVisible()) << "Return does not save";
    click(sheet, "nicknameSaveButton");
    rig.settle();
    EXPECT_EQ(rig.server.user(rig.userId)->nickname, u8("林小"));
    EXPECT_EQ(child<QLabel>(sheet, "accountTitleLabel")->text(), u8("林小"));

    // Avatar: picked, uploaded, then shown in the toolbar from its versioned address.
    QTemporaryDir dir;
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(dir.filePath(u8("me.png"))));
    PickingChooser chooser(QUrl::fromLocalFile(dir.filePath(u8("me.png"))));
    sheet->setAvatarImageChooser(&chooser);
    EXPECT_EQ(view.accountButton()->shownContent(), u8("initial"));
    click(sheet, "accountAvatarButton");
    EXPECT_EQ(chooser.opened, 1);
    rig.settle();
    rig.settle();
    EXPECT_EQ(view.accountButton()->shownContent(), u8("image"));
    EXPECT_TRUE(rig.server.lastRequest()->request.path().contains(u8("avatar")));
    // A new version of the picture loads again; meanwhile each button shows its own fallback.
    rig.account().setCloudProfileAvatarRefreshToken(u8("v-next"));
    EXPECT_EQ(view.accountButton()->shownContent(), u8("placeholder"));
    EXPECT_EQ(child<AccountAvatarButton>(sheet, "accountAvatarButton")->shownContent(), u8("initial"));
    rig.settle();
    EXPECT_EQ(view.accountButton()->shownContent(), u8("image"));

    // Phone editor: a new number, its code, saved; the editor closes on the service's word.
    click(sheet, "phoneEditButton");
    auto *phoneEditor = child(sheet, "accountPhoneEditor");
    ASSERT_TRUE(phoneEditor->isVisible());
    QTest::keyClicks(child<QLineEdit>(phoneEditor, "phoneEditorNumberField"), u8("13700004321"));
    click(phoneEditor, "phoneEditorCodeButton");
    rig.settle();
    QTest::keyClicks(
        child<QLineEdit>(phoneEditor, "phoneEditorCodeField"), *rig.server.lastSmsCode(u8("+8613700004321")));
    click(phoneEditor, "editorSaveButton");
    rig.settle();
    EXPECT_FALSE(phoneEditor->isVisible());

    // Password editor: an account without a password proves itself by code only.
    click(sheet, "passwordEditButton");
    auto *passwordEditor = child(sheet, "accountPasswordEditor");
    ASSERT_TRUE(passwordEditor->isVisible());
    EXPECT_FALSE(child(passwordEditor, "passwordModeCodeButton")->isVisible());
    EXPECT_TRUE(child(passwordEditor, "passwordCodeField")->isVisible());
    QTest::keyClicks(child<QLineEdit>(passwordEditor, "passwordNewField"), u8("short1"));
    EXPECT_EQ(child<QLabel>(passwordEditor, "passwordHelp")->text(), u8("密码至少需要 8 位"));
    EXPECT_FALSE(child(passwordEditor, "editorSaveButton")->isEnabled());
    // Escape leaves an open editor alone; only its own buttons close it.
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(passwordEditor->isVisible());
    click(passwordEditor, "editorCancelButton");
    EXPECT_FALSE(passwordEditor->isVisible());

    // Devices: only the other one has a remove button, behind a confirmation.
    rig.server.createSession(rig.userId, u8("hqv"), u8("hqv_phone"), u8("hqv Mate 60"));
    click(sheet, "devicesRefreshButton");
    rig.settle();
    const auto removeButtons = sheet->findChildren<QAbstractButton *>(u8("deviceRemoveButton"));
    ASSERT_EQ(removeButtons.size(), 1);
    EXPECT_NE(child(sheet, "deviceCurrentLabel"), nullptr);
    removeButtons.first()->click();
    QMessageBox *confirmation = sheet->deviceRemovalConfirmation();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(confirmation->text(), u8("移除设备？")) << "the question stands in the dialog, not only in its title";
    EXPECT_EQ(confirmation->informativeText(),
        u8("移除后，该鸿蒙设备下次访问服务器时会退出 Quorvin 账号，并清空该设备上的 Quorvin 本地数据。"));
    click(confirmation, "deviceRemovalConfirmButton");
    rig.settle();
    ManualClock::drainEvents();
    EXPECT_TRUE(sheet->findChildren<QAbstractButton *>(u8("deviceRemoveButton")).isEmpty());

    // Deletion: the code, the sentence, two presses, one deletion, and back to the login card.
    click(sheet, "accountDeletionButton");
    QuorvinAccountDeletionView *deletion = sheet->deletionView();
    ASSERT_NE(deletion, nullptr);
    EXPECT_TRUE(deletion->isVisible());
    click(deletion, "deletionCodeButton");
    rig.settle();
    EXPECT_EQ(child<QLineEdit>(deletion, "deletionCodeField")->text(), *rig.server.lastSmsCode(u8("+8613700004321")));
    EXPECT_FALSE(child(deletion, "deletionConfirmButton")->isEnabled());
    type(child<QLineEdit>(deletion, "deletionConfirmationField"), u8("我已阅读以上提示，确定注销"));
    click(deletion, "deletionConfirmButton");
    EXPECT_FALSE(child(deletion, "deletionConfirmButton")->isEnabled());
    EXPECT_FALSE(child(deletion, "deletionCancelButton")->isEnabled());
    rig.settle();
    ManualClock::drainEvents();
    EXPECT_EQ(rig.requests("/auth/account/delete"), 1);
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_NE(view.loginView(), nullptr);
}

#include "AccountSheetRig.h"
#include "account/CloudAccount.h"
#include "ui/AccountAvatarButton.h"
#include "ui/AccountSheet.h"
#include "ui/AvatarImageChooser.h"
#include "ui/ContentView.h"
#include "ui/QuorvinLabel.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
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
    rig.account().applyCloudProfile(CloudUserProfilePayload {rig.account().cloudProfileNickname(),
        rig.account().cloudProfileAvatarURL(), rig.account().cloudProfilePasswordSet(), u8("v-next")});
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

TEST(AccountSheetView, AnyNameFitsTheSheetWhichOpensAtTheTopAndFollowsTheLook)
{
    SheetRig rig;
    const QString name = QString(u8("很长的昵称")).repeated(16);
    ASSERT_EQ(name.size(), 80);
    rig.server.user(rig.userId)->nickname = name;
    rig.server.createSession(rig.userId, u8("hqv"), u8("hqv_phone"), QString(u8("hqv 很长的设备型号")).repeated(8));
    for (const char *device : {"hqv_tablet", "hqv_watch", "hqv_car"}) {
        rig.server.createSession(rig.userId, u8("hqv"), u8(device), u8(device));
    }
    ContentView view(rig.context());
    view.show();
    ManualClock::drainEvents();
    view.showAccountSheet();
    rig.settle();
    AccountSheet *sheet = view.accountSheet();
    click(sheet, "devicesRefreshButton");
    rig.settle();
    ManualClock::drainEvents();

    // The name is cut to fit, whole in its tooltip; no control leaves the sheet.
    auto *title = child<QuorvinLabel>(sheet, "accountTitleLabel");
    EXPECT_EQ(title->text(), name);
    EXPECT_TRUE(title->shownText().endsWith(QChar(0x2026))) << title->shownText().toStdString();
    EXPECT_EQ(title->toolTip(), name);
    const QRect inside = sheet->rect();
    int checked = 0;
    for (QWidget *control : sheet->findChildren<QWidget *>()) {
        if (!control->isVisibleTo(sheet)
            || !(qobject_cast<QAbstractButton *>(control) || qobject_cast<QLabel *>(control))) {
            continue;
        }
        const QRect placed(control->mapTo(sheet, QPoint(0, 0)), control->size());
        EXPECT_GE(placed.left(), inside.left()) << control->objectName().toStdString();
        EXPECT_LE(placed.right(), inside.right()) << control->objectName().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 10);

    // Opened again after scrolling down, it starts at the top.
    auto *scroll = child<QScrollArea>(sheet, "accountSheetScroll");
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    ASSERT_GT(scroll->verticalScrollBar()->value(), 0);
    click(sheet, "accountSheetCloseButton");
    view.showAccountSheet();
    rig.settle();
    EXPECT_EQ(scroll->verticalScrollBar()->value(), 0);

    // The look changes while the sheet and an editor are open: both follow at once.
    click(sheet, "phoneEditButton");
    const auto ink = [](QWidget *label) { return label->palette().color(QPalette::WindowText).name(); };
    auto *deviceTitle = sheet->findChildren<QLabel *>(u8("deviceTitle")).value(1);
    ASSERT_NE(deviceTitle, nullptr);
    EXPECT_EQ(ink(deviceTitle), u8("#1f2329"));
    rig.appearance->apply(u8("dark"));
    QCoreApplication::processEvents();
    EXPECT_EQ(ink(deviceTitle), u8("#f2f4f7"));
    EXPECT_EQ(ink(child(sheet, "deviceSubtitle")), u8("#a8b0bc"));
    EXPECT_EQ(ink(child(child(sheet, "accountPhoneEditor"), "editorTitle")), u8("#f2f4f7"));
    // The page and the rows on their card are drawn in the look's own colours too.
    click(child(sheet, "accountPhoneEditor"), "editorCancelButton");
    const QImage page = sheet->grab().toImage();
    EXPECT_EQ(page.pixelColor(3, 3).name(), u8("#101317"));
    const QPoint inRow = deviceTitle->parentWidget()->mapTo(sheet, QPoint(deviceTitle->parentWidget()->width() / 2, 2));
    EXPECT_EQ(page.pixelColor(inRow).name(), u8("#1a1e24"));
    rig.appearance->apply(u8("light"));
    QCoreApplication::processEvents();
    EXPECT_EQ(ink(deviceTitle), u8("#1f2329"));
}

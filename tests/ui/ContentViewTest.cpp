#include "ui/ContentView.h"
#include "ViewRig.h"
#include "account/CloudAccount.h"
#include "ui/DashboardView.h"
#include "ui/QuorvinAppearanceModeControl.h"
#include "ui/QuorvinLoginView.h"

#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace quorvin;
using namespace quorvin::test;

TEST(ContentView, ShowsTheLoginCardWhileSignedOutAndTheFrameWhileSignedIn)
{
    ViewRig rig;
    rig.account().applyCloudAuthToken(QStringLiteral(" \n "), QStringLiteral("test"));
    ContentView view(rig.context());
    view.show();
    ManualClock::drainEvents();

    // Only blanks: signed out, a borderless card with no toolbar.
    EXPECT_FALSE(view.model().isLoggedIn());
    EXPECT_EQ(view.model().navigationTitle(), QStringLiteral("登录 Quorvin"));
    ASSERT_NE(view.loginView(), nullptr);
    EXPECT_TRUE(view.loginView()->isVisible());
    EXPECT_FALSE(view.toolbar()->isVisible());
    EXPECT_TRUE(view.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(view.size(), QSize(640, 360));
    EXPECT_EQ(view.windowTitle(), QStringLiteral("登录 Quorvin"));

    rig.account().applyCloudAuthToken(QStringLiteral("qvk_token"), QStringLiteral("test"));
    ManualClock::drainEvents();
    EXPECT_EQ(view.loginView(), nullptr);
    EXPECT_TRUE(view.toolbar()->isVisible());
    EXPECT_TRUE(view.authenticatedContent()->isVisible());
    EXPECT_FALSE(view.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(view.size(), QSize(880, 670));
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Quorvin"));
    // Below the toolbar row the whole dashboard shows at this size: nothing to scroll to.
    auto *dashboardScroll = view.findChild<QScrollArea *>(QStringLiteral("dashboardScroll"));
    ASSERT_NE(dashboardScroll, nullptr);
    EXPECT_EQ(dashboardScroll->verticalScrollBar()->maximum(), 0);

    // Signing out closes the account sheet and brings a fresh card.
    view.model().edit([](ContentViewState &state) { state.showingAccountPopover = true; });
    rig.account().applyCloudAuthToken(QString(), QStringLiteral("test"));
    ManualClock::drainEvents();
    EXPECT_FALSE(view.model().state().showingAccountPopover);
    ASSERT_NE(view.loginView(), nullptr);
    EXPECT_EQ(view.loginView()->model().loginMode(), QuorvinLoginViewModel::LoginMode::Password);
    EXPECT_EQ(view.size(), QSize(640, 360));
}

TEST(ContentView, ClosesEditorsWhenTheirChangeWentThroughAndFillsOnlyEmptyCodes)
{
    ViewRig rig;
    ContentViewModel model(*rig.service, rig.defaults, *rig.appearance);
    model.edit([](ContentViewState &state) {
        state.showingPhoneEditor = true;
        state.cloudProfilePhoneDraft = QStringLiteral("13900000000");
        state.cloudProfilePhoneCodeDraft = QStringLiteral("111111");
        state.showingPasswordEditor = true;
        state.cloudProfilePasswordDraft = QStringLiteral("new-secret");
        state.cloudProfilePasswordConfirmDraft = QStringLiteral("new-secret");
        state.cloudProfileCurrentPasswordDraft = QStringLiteral("old-secret");
        state.cloudProfilePasswordPhoneDraft = QStringLiteral("13900000000");
    });

    rig.account().setCloudPhoneLoginStatus(QStringLiteral("正在验证手机号"));
    EXPECT_TRUE(model.state().showingPhoneEditor);
    rig.account().setCloudPhoneLoginStatus(QStringLiteral("手机号已保存"));
    EXPECT_FALSE(model.state().showingPhoneEditor);
    EXPECT_TRUE(model.state().cloudProfilePhoneDraft.isEmpty());
    EXPECT_TRUE(model.state().cloudProfilePhoneCodeDraft.isEmpty());

    // A development code fills the empty code field of the password editor, never a typed one.
    rig.account().setCloudPhoneCodeHint(QStringLiteral("验证码已发送"));
    EXPECT_TRUE(model.state().cloudProfilePasswordCodeDraft.isEmpty());
    rig.account().setCloudPhoneCodeHint(QStringLiteral("开发验证码： 654321 "));
    EXPECT_EQ(model.state().cloudProfilePasswordCodeDraft, QStringLiteral("654321"));
    rig.account().setCloudPhoneCodeHint(QStringLiteral("开发验证码：999999"));
    EXPECT_EQ(model.state().cloudProfilePasswordCodeDraft, QStringLiteral("654321"));

    rig.account().setCloudProfileStatus(QStringLiteral("密码已更新"));
    EXPECT_FALSE(model.state().showingPasswordEditor);
    EXPECT_TRUE(model.state().cloudProfilePasswordDraft.isEmpty());
    EXPECT_TRUE(model.state().cloudProfilePasswordConfirmDraft.isEmpty());
    EXPECT_TRUE(model.state().cloudProfileCurrentPasswordDraft.isEmpty());
    EXPECT_TRUE(model.state().cloudProfilePasswordCodeDraft.isEmpty());
    EXPECT_EQ(model.state().cloudProfilePasswordPhoneDraft, QStringLiteral("13900000000"));

    rig.account().applyCloudProfile(
        CloudUserProfilePayload {QStringLiteral("小林"), rig.account().cloudProfileAvatarURL(),
            rig.account().cloudProfilePasswordSet(), rig.account().cloudProfileAvatarRefreshToken()});
    EXPECT_EQ(model.state().cloudProfileNicknameDraft, QStringLiteral("小林"));
}

TEST(ContentView, TheAppearanceSwitchStoresAndAppliesTheModeAndShowsUnknownModesAsSystem)
{
    ViewRig rig;
    rig.account().applyCloudAuthToken(QStringLiteral("qvk_token"), QStringLiteral("test"));
    rig.defaults.setString(QStringLiteral("quorvinAppearanceMode"), QStringLiteral("sepia"));
    ContentView view(rig.context());
    auto *control = view.appearanceControl();
    EXPECT_EQ(control->selectedMode(), QuorvinAppearanceMode::System);
    EXPECT_EQ(control->button(QuorvinAppearanceMode::Dark)->toolTip(), QStringLiteral("深色"));

    static_cast<QAbstractButton *>(control->button(QuorvinAppearanceMode::Dark))->click();
    EXPECT_EQ(rig.defaults.string(QStringLiteral("quorvinAppearanceMode")), QStringLiteral("dark"));
    EXPECT_EQ(rig.appearance->appliedScheme(), ColorScheme::Dark);
    EXPECT_EQ(control->selectedMode(), QuorvinAppearanceMode::Dark);
}

TEST(ContentView, AFailedSignInLeavesTheTypedTextAsItWasWithNothingSelected)
{
    ViewRig rig;
    rig.server.createUser(QStringLiteral("+8613812345678"), QStringLiteral("right-pass-1"));
    ContentView view(rig.context());
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QuorvinLoginView *card = view.loginView();
    auto *phone = card->findChild<QLineEdit *>(QStringLiteral("loginPhone"));
    auto *password = card->findChild<QLineEdit *>(QStringLiteral("loginPassword"));
    QTest::keyClicks(phone, QStringLiteral("13812345678"));
    QTest::keyClicks(password, QStringLiteral("wrong-pass"));
    card->findChild<QAbstractButton *>(QStringLiteral("loginConsent"))->click();
    auto *submit = card->findChild<QAbstractButton *>(QStringLiteral("loginSubmit"));
    submit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(submit, Qt::Key_Space);
    rig.clock.runUntil([&] { return card->model().canUseLogin(); }, std::chrono::minutes(1));
    ManualClock::drainEvents();
    ASSERT_TRUE(rig.account().cloudAuthToken().isEmpty());

    auto *focused = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(focused, nullptr);
    EXPECT_FALSE(focused->hasSelectedText()) << focused->objectName().toStdString();
    EXPECT_EQ(focused->cursorPosition(), focused->text().size());
    EXPECT_EQ(phone->text(), QStringLiteral("13812345678"));
    EXPECT_EQ(password->text(), QStringLiteral("wrong-pass"));
}

#include "AccountSheetRig.h"
#include "account/CloudAccount.h"
#include "platform/core/UnicodeText.h"
#include "support/cloudserver/CloudFault.h"
#include "ui/AccountPopoverModel.h"
#include "ui/QuorvinAccountDeletionModel.h"
#include "ui/QuorvinMacTheme.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrlQuery>

using namespace quorvin;
using namespace quorvin::test;
using namespace std::chrono_literals;

TEST(AccountSheetFlow, NicknameAndAvatarChangeThroughTheService)
{
    SheetRig rig;
    EXPECT_EQ(rig.popover->accountToolbarTitle(), u8("小林"));
    EXPECT_EQ(rig.popover->accountAvatarInitial(), u8("小"));

    // Blank and overlong names stay in the editor with the reason; lengths count characters.
    rig.popover->openProfileNicknameEditor();
    rig.popover->setNicknameDraft(u8("   "));
    rig.popover->saveProfileNickname();
    EXPECT_EQ(rig.account().cloudProfileStatus(), u8("昵称不能为空"));
    rig.popover->setNicknameDraft(QString(81, QChar(0x6797)));
    rig.popover->saveProfileNickname();
    EXPECT_EQ(rig.account().cloudProfileStatus(), u8("昵称最多 80 个字符"));
    EXPECT_TRUE(rig.state().isProfileNicknameEditing);
    // The same name after trimming closes without a request.
    rig.popover->setNicknameDraft(u8(" 小林 "));
    const qsizetype profileRequests = rig.requests("/auth/profile");
    rig.popover->saveProfileNickname();
    EXPECT_FALSE(rig.state().isProfileNicknameEditing);
    rig.settle();
    EXPECT_EQ(rig.requests("/auth/profile"), profileRequests);

    const QString eighty = QString(79, QChar(0x6797)) + u8("👩‍👩‍👧");
    rig.popover->openProfileNicknameEditor();
    rig.popover->setNicknameDraft(eighty);
    rig.popover->saveProfileNickname();
    rig.settle();
    EXPECT_EQ(rig.server.user(rig.userId)->nickname, eighty);
    EXPECT_EQ(rig.state().cloudProfileNicknameDraft, eighty);
    EXPECT_EQ(rig.popover->accountToolbarTitle(), eighty);

    // A failed choice says why; a picked picture goes up and the new address loads afresh.
    rig.popover->beginAvatarChoice();
    rig.popover->finishAvatarChoice({{}, u8("没有权限")});
    EXPECT_EQ(rig.account().cloudProfileStatus(), u8("头像选择失败：没有权限"));
    EXPECT_FALSE(rig.state().showingAvatarFileImporter);
    QTemporaryDir dir;
    const QString picture = dir.filePath(u8("me.png"));
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture));
    const QString identityBefore = rig.popover->accountAvatarImageIdentity();
    ASSERT_TRUE(rig.popover->beginAvatarChoice());
    rig.popover->finishAvatarChoice({{QUrl::fromLocalFile(picture)}, std::nullopt});
    EXPECT_FALSE(rig.popover->canChangeAvatar()) << "no second change while one is saved";
    rig.settle();
    const CloudServerUser *user = rig.server.user(rig.userId);
    EXPECT_FALSE(user->avatarData.isEmpty());
    EXPECT_NE(rig.popover->accountAvatarImageIdentity(), identityBefore);
    const auto url = rig.popover->avatarImageURL();
    ASSERT_TRUE(url);
    EXPECT_EQ(QUrlQuery(*url).queryItemValue(u8("_mqv")), user->profileUpdatedAt);
}

TEST(AccountSheetFlow, VersionedAvatarAddressesKeepOneFreshVersion)
{
    const auto url = AccountPopoverModel::versionedAvatarImageURL(
        u8(" https://a.invalid/me.jpg?_mqv=old&size=2&_mqv=older "), u8(" v7 "));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->toString(), u8("https://a.invalid/me.jpg?size=2&_mqv=v7"));
    EXPECT_EQ(AccountPopoverModel::versionedAvatarImageURL(u8("https://a.invalid/me.jpg"), u8(" "))->toString(),
        u8("https://a.invalid/me.jpg"));
    EXPECT_FALSE(AccountPopoverModel::versionedAvatarImageURL(u8("  "), u8("v7")));
}

TEST(AccountSheetFlow, PhoneLinkAndPasswordChangeOnBothPaths)
{
    SheetRig rig(u8("old-pass-9x"));
    EXPECT_EQ(rig.state().cloudProfilePasswordPhoneDraft, rig.phone);

    // Current-password path: the rules and the confirmation gate the save.
    rig.passwordEditor->openPasswordEditor();
    EXPECT_TRUE(rig.passwordEditor->usesCurrentPassword());
    rig.passwordEditor->setCurrentPasswordDraft(u8("old-pass-9x"));
    rig.passwordEditor->setPasswordDraft(u8("n3wPassword"));
    EXPECT_EQ(rig.passwordEditor->profilePasswordHelpText(), u8("密码过于简单，请换一个更难猜的密码"));
    rig.passwordEditor->setPasswordDraft(u8("n3w-secret"));
    EXPECT_EQ(rig.passwordEditor->profilePasswordHelpText(), u8("请再次输入新密码"));
    rig.passwordEditor->setConfirmDraft(u8("n3w-secreT"));
    EXPECT_EQ(rig.passwordEditor->profilePasswordHelpText(), u8("两次输入的新密码不一致"));
    EXPECT_FALSE(rig.passwordEditor->canUpdateCloudPassword());
    rig.passwordEditor->setConfirmDraft(u8("n3w-secret"));
    EXPECT_EQ(rig.passwordEditor->profilePasswordHelpText(), u8("密码格式可用"));
    ASSERT_TRUE(rig.passwordEditor->canUpdateCloudPassword());
    rig.passwordEditor->saveCloudPassword();
    EXPECT_TRUE(rig.state().cloudProfilePasswordDraft.isEmpty()) << "typed secrets go at once";
    EXPECT_TRUE(rig.state().cloudProfileCurrentPasswordDraft.isEmpty());
    rig.settle();
    EXPECT_EQ(rig.account().cloudProfileStatus(), u8("密码已更新"));
    EXPECT_FALSE(rig.state().showingPasswordEditor);
    EXPECT_EQ(rig.server.user(rig.userId)->password, std::optional<QString>(u8("n3w-secret")));

    // Code path: the code goes to the account's own number and the development code fills in.
    rig.passwordEditor->openPasswordEditor();
    EXPECT_FALSE(rig.passwordEditor->canRequestProfilePasswordPhoneCode()) << "current-password mode";
    rig.passwordEditor->chooseVerificationMode(true);
    rig.passwordEditor->requestCode();
    rig.settle();
    EXPECT_EQ(rig.state().cloudProfilePasswordCodeDraft, *rig.server.lastSmsCode(u8("+8613902468135")));
    rig.passwordEditor->setPasswordDraft(u8("abc13902468135"));
    EXPECT_EQ(rig.passwordEditor->profilePasswordHelpText(), u8("密码不能包含手机号"));
    rig.passwordEditor->setPasswordDraft(u8("y7-another"));
    rig.passwordEditor->setConfirmDraft(u8("y7-another"));
    rig.passwordEditor->saveCloudPassword();
    rig.settle();
    EXPECT_EQ(rig.account().cloudProfileStatus(), u8("密码已更新"));
    EXPECT_EQ(rig.server.user(rig.userId)->password, std::optional<QString>(u8("y7-another")));
    EXPECT_EQ(rig.requests("/auth/phone/code/verify-linked"), 1);

    // The own number, written otherwise, is no change; a new one gets a code and is linked.
    rig.phoneEditor->openPhoneEditor();
    rig.phoneEditor->setPhoneDraft(u8("+86 139 0246 8135"));
    EXPECT_FALSE(rig.phoneEditor->canRequestProfilePhoneCode());
    rig.phoneEditor->setPhoneDraft(u8("137 0000 4321"));
    ASSERT_TRUE(rig.phoneEditor->canRequestProfilePhoneCode());
    rig.phoneEditor->requestCode();
    EXPECT_EQ(rig.phoneEditor->profilePhoneCodeButtonLabel(), u8("发送中"));
    rig.settle();
    EXPECT_EQ(rig.phoneEditor->profilePhoneCodeButtonLabel(), u8("重新发送"));
    EXPECT_TRUE(rig.state().cloudProfilePhoneCodeDraft.isEmpty()) << "the phone editor is never filled for the user";
    rig.phoneEditor->setCodeDraft(*rig.server.lastSmsCode(u8("+8613700004321")));
    ASSERT_TRUE(rig.phoneEditor->canUpdateProfilePhone());
    // Editing the number drops the code and the challenge.
    rig.phoneEditor->setPhoneDraft(u8("13700004322"));
    EXPECT_TRUE(rig.state().cloudProfilePhoneCodeDraft.isEmpty());
    EXPECT_FALSE(rig.phoneEditor->canUpdateProfilePhone());
    rig.phoneEditor->setPhoneDraft(u8("13700004321"));
    rig.phoneEditor->requestCode();
    rig.settle();
    rig.phoneEditor->setCodeDraft(*rig.server.lastSmsCode(u8("+8613700004321")));
    rig.phoneEditor->save();
    rig.settle();
    EXPECT_EQ(rig.account().cloudPhoneLoginStatus(), u8("手机号已保存"));
    EXPECT_FALSE(rig.state().showingPhoneEditor);
    EXPECT_EQ(rig.account().cloudPhoneNumber(), u8("13700004321"));
}

TEST(AccountSheetFlow, DevicesRemoveOnlyOthersAndLogoutSignsOut)
{
    SheetRig rig;
    rig.server.createSession(rig.userId, u8("hqv"), u8("hqv_phone"), u8("hqv Mate 60"));
    rig.popover->refreshDevices();
    rig.settle();
    const auto sessions = rig.account().cloudDeviceSessions();
    ASSERT_EQ(sessions.size(), 2);
    const auto own = std::find_if(sessions.begin(), sessions.end(),
        [&](const auto &session) { return rig.popover->isCurrentDeviceSession(session); });
    ASSERT_NE(own, sessions.end());
    const auto other = sessions.begin() == own ? sessions.begin() + 1 : sessions.begin();
    EXPECT_EQ(rig.popover->cloudDeviceTitle(*other), u8("鸿蒙设备 Mate 60"));

    rig.popover->requestDeviceRemoval(*own);
    EXPECT_FALSE(rig.popover->isDeviceRemovalConfirmationShown()) << "this machine is never removed";
    rig.popover->requestDeviceRemoval(*other);
    EXPECT_TRUE(rig.popover->cloudDeviceRemovalConfirmationMessage().contains(u8("鸿蒙设备")));
    rig.popover->cancelDeviceRemoval();
    EXPECT_FALSE(rig.popover->isDeviceRemovalConfirmationShown());
    rig.popover->requestDeviceRemoval(*other);
    rig.popover->confirmDeviceRemoval();
    EXPECT_FALSE(rig.popover->canRemoveDeviceSession(*other)) << "every row waits while one removal runs";
    rig.settle();
    EXPECT_EQ(rig.account().cloudDeviceSessions().size(), 1);
    const auto serverSessions = rig.server.sessionsOf(rig.userId);
    EXPECT_EQ(std::count_if(serverSessions.begin(), serverSessions.end(),
                  [](const CloudServerSession &session) { return session.isActive(); }),
        1);

    rig.popover->logout();
    EXPECT_FALSE(rig.state().showingAccountPopover);
    rig.settle();
    EXPECT_TRUE(rig.account().cloudAuthToken().isEmpty());
    EXPECT_FALSE(rig.server.sessionByToken(rig.token)->isActive());
}

TEST(AccountSheetFlow, DeletionNeedsTheCodeAndTheSentenceAndRunsOnce)
{
    SheetRig rig;
    rig.popover->openAccountDeletion();
    ASSERT_TRUE(rig.state().showingAccountDeletion);
    QuorvinAccountDeletionModel page(rig.account(), u8("139-0246-8135"));
    page.appear();
    EXPECT_EQ(page.phoneNumber(), rig.phone);
    QuorvinAccountDeletionModel withCountryCode(rig.account(), u8("8613902468135"));
    withCountryCode.appear();
    EXPECT_FALSE(withCountryCode.canRequestCode());

    // A failed code request leaves nothing to delete with.
    rig.server.addFault(u8("POST"), u8("/auth/phone/code/request"), CloudFault::answer(429));
    page.requestCode();
    EXPECT_EQ(page.codeButtonLabel(), u8("发送中…"));
    EXPECT_FALSE(page.canCancel());
    rig.settle();
    EXPECT_TRUE(page.challengeID().isEmpty());
    EXPECT_FALSE(page.status().isEmpty());

    page.requestCode();
    rig.settle();
    const QString code = *rig.server.lastSmsCode(u8("+86") + rig.phone);
    EXPECT_EQ(page.code(), code);
    EXPECT_EQ(page.status(), u8("开发验证码：") + code);
    page.setConfirmationText(u8("我已阅读以上提示,确定注销"));
    EXPECT_FALSE(page.canDelete()) << "the comma is the full-width one";
    page.setConfirmationText(u8("  我已阅读以上提示，确定注销\n"));
    page.setCode(u8(" ") + code);
    EXPECT_FALSE(page.canDelete()) << "the code is taken as typed";
    page.setCode(code);
    ASSERT_TRUE(page.canDelete());

    // The first press marks the deletion running at once: the second finds nothing to do.
    QSignalSpy closed(&page, &QuorvinAccountDeletionModel::closeRequested);
    QSignalSpy deleted(&page, &QuorvinAccountDeletionModel::deleted);
    page.confirmDeletion();
    EXPECT_TRUE(rig.account().isCloudAccountDeleting());
    EXPECT_FALSE(page.canDelete());
    EXPECT_FALSE(page.canCancel());
    EXPECT_EQ(page.deleteButtonLabel(), u8("注销中…"));
    page.confirmDeletion();
    EXPECT_EQ(closed.count(), 0);
    rig.settle();
    EXPECT_EQ(rig.requests("/auth/account/delete"), 1);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(deleted.count(), 1);
    EXPECT_TRUE(rig.account().cloudAuthToken().isEmpty());
    EXPECT_FALSE(rig.state().showingAccountPopover);
    EXPECT_EQ(rig.server.user(rig.userId), nullptr);
}

TEST(AccountSheetFlow, AFailedDeletionStaysOnThePageAndAClosedPageHearsNothing)
{
    SheetRig rig;
    auto page = std::make_unique<QuorvinAccountDeletionModel>(rig.account(), rig.phone);
    page->appear();
    page->requestCode();
    rig.settle();
    page->setConfirmationText(u8("我已阅读以上提示，确定注销"));
    rig.server.addFault(u8("POST"), u8("/auth/account/delete"), CloudFault::answer(500));
    page->confirmDeletion();
    rig.settle();
    EXPECT_FALSE(page->status().isEmpty());
    EXPECT_NE(page->status(), u8("正在永久注销账号，请勿关闭应用"));
    EXPECT_TRUE(page->canDelete()) << "everything typed is kept for another try";
    EXPECT_FALSE(rig.account().cloudAuthToken().isEmpty());

    rig.server.addFault(u8("POST"), u8("/auth/account/delete"), CloudFault::answer(500));
    page->confirmDeletion();
    page.reset();
    rig.settle();
    EXPECT_FALSE(rig.account().isCloudAccountDeleting());
    EXPECT_FALSE(rig.account().cloudAuthToken().isEmpty());
}

TEST(AccountSheetFlow, TitleInitialAndEditorsFollowTheAccountAndTheirBusyFlags)
{
    SheetRig rig(u8("old-pass-9x"));
    CloudAccount &account = rig.account();
    const auto showPhoneLabel = [&account](const QString &label) {
        QList<CloudIdentityPayload> identities {CloudIdentityPayload {.provider = u8("phone"), .display_label = label}};
        if (account.cloudHuaweiAccountLinked()) {
            identities.append(CloudIdentityPayload {
                .provider = u8("huawei_account"), .display_label = account.cloudHuaweiAccountDisplayLabel()});
        }
        account.applyCloudIdentities(identities);
    };
    // Without a nickname the masked number names the account; without both, the fallback does.
    account.applyCloudProfile(CloudUserProfilePayload {QString(), account.cloudProfileAvatarURL(),
        account.cloudProfilePasswordSet(), account.cloudProfileAvatarRefreshToken()});
    EXPECT_EQ(rig.popover->accountToolbarTitle(), u8("+86139****8135"));
    EXPECT_EQ(rig.popover->accountAvatarInitial(), u8("+"));
    showPhoneLabel(QString());
    EXPECT_EQ(rig.popover->accountToolbarTitle(), u8("同步账号"));
    EXPECT_EQ(rig.popover->accountAvatarInitial(), u8("同"));
    EXPECT_EQ(rig.popover->accountPhoneText(), u8("已绑定"));
    EXPECT_FALSE(rig.popover->canTogglePhoneVisibility());
    showPhoneLabel(u8("+86 139 0246 8135"));
    EXPECT_EQ(rig.popover->accountPhoneText(), u8("+86139****8135"));
    rig.popover->togglePhoneVisibility();
    EXPECT_EQ(rig.popover->accountPhoneText(), u8("+8613902468135"));

    // Switching the proof drops what was typed for the other one and any requested code.
    rig.passwordEditor->openPasswordEditor();
    rig.passwordEditor->setCurrentPasswordDraft(u8("old-pass-9x"));
    rig.account().setCloudPhoneChallengeID(u8("challenge-1"));
    rig.account().setCloudPhoneCodeHint(u8("开发验证码：123456"));
    EXPECT_TRUE(rig.passwordEditor->shownCodeHint().isEmpty()) << "no hint where the current password is the proof";
    rig.passwordEditor->chooseVerificationMode(true);
    EXPECT_TRUE(rig.state().cloudProfileCurrentPasswordDraft.isEmpty());
    EXPECT_TRUE(rig.account().cloudPhoneChallengeID().isEmpty());
    EXPECT_EQ(rig.passwordEditor->profilePasswordHelpColor().light, QuorvinMacTheme::secondaryText.light);
    rig.passwordEditor->setPasswordDraft(u8("abc"));
    EXPECT_EQ(rig.passwordEditor->profilePasswordHelpColor().light, QuorvinMacTheme::warning.light);

    // A code request under way keeps either editor open.
    rig.passwordEditor->requestCode();
    ASSERT_TRUE(rig.account().isCloudPhoneCodeRequesting());
    rig.passwordEditor->closePasswordEditor();
    EXPECT_TRUE(rig.state().showingPasswordEditor);
    rig.settle();
    rig.passwordEditor->closePasswordEditor();
    EXPECT_FALSE(rig.state().showingPasswordEditor);
    EXPECT_TRUE(rig.state().cloudProfilePasswordDraft.isEmpty());

    rig.phoneEditor->openPhoneEditor();
    rig.phoneEditor->setPhoneDraft(u8("13700004321"));
    rig.phoneEditor->requestCode();
    rig.phoneEditor->closePhoneEditor();
    EXPECT_TRUE(rig.state().showingPhoneEditor);
    rig.settle();
    rig.phoneEditor->closePhoneEditor();
    EXPECT_FALSE(rig.state().showingPhoneEditor);
    EXPECT_TRUE(rig.account().cloudPhoneChallengeID().isEmpty());
}

TEST(AccountSheetFlow, AMaskedNumberAndDigitsOfOtherScriptsReachTheServiceAsTheNumberMeant)
{
    // Only decimal digits are folded; other numerals stay what they are.
    EXPECT_EQ(UnicodeText::foldingDecimalDigits(u8("１３٩०x⑥½五")), u8("1390x⑥½五"));

    // The service shows the account's number masked; the number signed in with fits the mask.
    SheetRig rig;
    for (CloudServerIdentity &identity : rig.server.user(rig.userId)->identities) {
        identity.displayLabel = u8("*******8135");
    }
    runInVirtualTime(rig.clock, rig.account().refreshCloudProfile(u8("test"), false));
    ASSERT_EQ(rig.account().cloudPhoneDisplayLabel(), u8("*******8135"));
    EXPECT_EQ(rig.popover->accountPhoneTextForEditing(), rig.phone);
    rig.popover->togglePhoneVisibility();
    EXPECT_EQ(rig.popover->accountPhoneText(), u8("+8613902468135")) << "the eye shows the whole number";
    rig.account().rememberCloudPhoneNumber(u8("13900000000"));
    EXPECT_TRUE(rig.popover->accountPhoneTextForEditing().isEmpty()) << "a stored number the mask denies";
    rig.account().rememberCloudPhoneNumber(rig.phone);

    // An account without a password sets one by a code sent to that number, typed full-width.
    rig.passwordEditor->openPasswordEditor();
    ASSERT_TRUE(rig.passwordEditor->canRequestProfilePasswordPhoneCode());
    rig.passwordEditor->requestCode();
    rig.settle();
    const QString code = *rig.server.lastSmsCode(u8("+8613902468135"));
    QString fullWidth;
    for (const QChar digit : code) {
        fullWidth += QChar(0xFF10 + digit.digitValue());
    }
    rig.passwordEditor->setCodeDraft(fullWidth);
    rig.passwordEditor->setPasswordDraft(u8("y7-another"));
    rig.passwordEditor->setConfirmDraft(u8("y7-another"));
    ASSERT_TRUE(rig.passwordEditor->canUpdateCloudPassword());
    rig.passwordEditor->saveCloudPassword();
    rig.settle();
    EXPECT_EQ(rig.account().cloudProfileStatus(), u8("密码已更新"));
    EXPECT_EQ(rig.server.user(rig.userId)->password, std::optional<QString>(u8("y7-another")));

    // The own number in full-width digits is no change; a new one in them is sent in ASCII.
    rig.phoneEditor->openPhoneEditor();
    rig.phoneEditor->setPhoneDraft(u8("１３９０２４６８１３５"));
    EXPECT_FALSE(rig.phoneEditor->canRequestProfilePhoneCode());
    rig.phoneEditor->setPhoneDraft(u8("１３７ ００００ ４３２１"));
    ASSERT_TRUE(rig.phoneEditor->canRequestProfilePhoneCode());
    rig.phoneEditor->requestCode();
    rig.settle();
    EXPECT_TRUE(rig.server.lastSmsCode(u8("+8613700004321")).has_value());
}

#pragma once

#include <QString>
#include <QStringList>

// Exact texts of the main window's views.
namespace quorvin::UiText {

// Main view frame.
inline const QString loginNavigationTitle = QStringLiteral("登录 Quorvin");
inline const QString appearanceLight = QStringLiteral("浅色");
inline const QString appearanceDark = QStringLiteral("深色");
inline const QString appearanceSystem = QStringLiteral("跟随系统");
// Statuses of the account the main view reacts to.
inline const QString phoneSavedStatus = QStringLiteral("手机号已保存");
inline const QString passwordUpdatedStatus = QStringLiteral("密码已更新");
// A code hint that carries the development code after it.
inline const QString developmentCodePrefix = QStringLiteral("开发验证码：");

// Login view.
inline const QString loginQuit = QStringLiteral("退出 Quorvin");
inline const QString loginWelcome = QStringLiteral("欢迎使用 Quorvin");
inline const QString loginPhonePlaceholder = QStringLiteral("手机号");
inline const QString loginPasswordPlaceholder = QStringLiteral("密码");
inline const QString loginCodePlaceholder = QStringLiteral("6 位验证码");
inline const QString loginCodeSending = QStringLiteral("发送中");
inline const QString loginCodeResend = QStringLiteral("重新发送");
inline const QString loginCodeRequest = QStringLiteral("获取验证码");
inline const QString loginRegisterHint = QStringLiteral("如果未注册，请使用验证码注册");
inline const QString loginUseCode = QStringLiteral("验证码登录");
inline const QString loginUsePassword = QStringLiteral("密码登录");
inline const QString loginConsentAccessibility = QStringLiteral("同意用户协议和隐私政策");
inline const QString loginConsentRead = QStringLiteral("我已阅读并同意");
inline const QString loginUserAgreement = QStringLiteral("《用户协议》");
inline const QString loginConsentAnd = QStringLiteral("和");
inline const QString loginPrivacyPolicy = QStringLiteral("《隐私政策》");
inline const QString loginInProgress = QStringLiteral("登录中…");
inline const QString loginCodeSubmit = QStringLiteral("登录/注册");
inline const QString loginPasswordSubmit = QStringLiteral("登录");
inline const QString loginConsentRequired = QStringLiteral("请先阅读并同意用户协议和隐私政策");
// A status line that contains any of these reads as a failure.
inline const QStringList loginFailureTerms = {
    QStringLiteral("失败"),
    QStringLiteral("不正确"),
    QStringLiteral("无效"),
    QStringLiteral("没有"),
    QStringLiteral("未返回"),
    QStringLiteral("暂未"),
    QStringLiteral("取消"),
    QStringLiteral("请先"),
    QStringLiteral("请输入"),
    QStringLiteral("缺少"),
};

// The product's web pages. Like the cloud address, the host is a placeholder on a reserved domain
// until the product has one of its own.
inline const QString userAgreementURL = QStringLiteral("https://quorvin.invalid/terms.html");
inline const QString privacyPolicyURL = QStringLiteral("https://quorvin.invalid/privacy.html");

} // namespace quorvin::UiText

#pragma once

#include <QString>

#include <array>
#include <utility>

// Exact texts of the cloud client.
namespace quorvin::CloudText {

// The settings key that points the app at a service.
inline const QString keyBaseURL = QStringLiteral("Quorvin.CloudBaseURL");

// The built-in service address. The production host is not public; this reserved name never
// resolves, so an unconfigured app fails visibly instead of talking to a stranger.
inline const QString productionBaseURL = QStringLiteral("https://api.quorvin.invalid");

inline const QString errorDomain = QStringLiteral("Quorvin.CloudSync");

// "<message>（HTTP <status>）" with full-width parentheses, or "HTTP <status>" without a message.
inline const QString httpStatusSuffixOpen = QStringLiteral("（HTTP ");
inline const QString httpStatusSuffixClose = QStringLiteral("）");
inline const QString httpStatusPrefix = QStringLiteral("HTTP ");

// Phrases of the service's error bodies (sought in the lowercased body) and the message shown for
// each. The first row that matches wins, so the order matters.
inline constexpr std::array<std::pair<const char16_t *, const char16_t *>, 24> serverErrorMessages {{
    {u"identity already linked to another user", u"该账号已绑定到另一个同步账号"},
    {u"device belongs to another user", u"该设备会话不属于当前账号"},
    {u"cannot revoke current session", u"不能在设备列表中移除当前设备，请使用退出账号"},
    {u"authentication required", u"服务器登录已失效，请重新登录"},
    {u"invalid authentication token", u"服务器登录已失效，请重新登录"},
    {u"identity verification not configured", u"服务器尚未配置账号验证"},
    {u"phone otp delivery not configured", u"服务器尚未配置手机号验证码"},
    {u"phone number must be a mainland china mobile number", u"请输入中国大陆 11 位手机号"},
    {u"phone number must be in e.164 format", u"请输入中国大陆 11 位手机号"},
    {u"phone verification code must be 6 digits", u"验证码需为 6 位数字"},
    {u"invalid phone verification code", u"手机号验证码不正确"},
    {u"phone verification code expired", u"手机号验证码已过期"},
    {u"phone verification code already used", u"手机号验证码已使用"},
    {u"invalid phone number or password", u"手机号或密码不正确"},
    {u"profile password is not set", u"该账号还没有设置密码，请先用验证码登录"},
    {u"current profile password is incorrect", u"原密码不正确"},
    {u"profile password must be at least 8 characters", u"密码至少需要 8 位"},
    {u"profile password is too long", u"密码不能超过 16 位"},
    {u"profile password must contain both letters and numbers", u"密码需要同时包含字母和数字"},
    {u"profile password is too simple", u"密码过于简单，请换一个更难猜的密码"},
    {u"profile password must not contain obvious sequences", u"密码过于简单，请换一个更难猜的密码"},
    {u"profile password is too common", u"密码过于简单，请换一个更难猜的密码"},
    {u"profile password must not contain phone number", u"密码不能包含手机号"},
    {u"phone verification is required before updating profile password", u"请先完成手机号验证码验证后再修改密码"},
}};

} // namespace quorvin::CloudText

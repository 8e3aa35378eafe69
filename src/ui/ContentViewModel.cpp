#include "ui/ContentViewModel.h"

#include "account/CloudAccount.h"
#include "app/QuorvinAppearanceController.h"
#include "app/Strings.h"
#include "platform/defaults/UserDefaults.h"
#include "sync/QuorvinMacService.h"
#include "ui/Strings.h"

namespace quorvin {

ContentViewModel::ContentViewModel(
    QuorvinMacService &service, UserDefaults &defaults, QuorvinAppearanceController &appearance, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_defaults(defaults)
    , m_appearance(appearance)
{
    const CloudAccount &account = m_service.account();
    m_seenToken = account.cloudAuthToken();
    m_seenPhoneLoginStatus = account.cloudPhoneLoginStatus();
    m_seenProfileStatus = account.cloudProfileStatus();
    m_seenProfileNickname = account.cloudProfileNickname();
    m_seenPhoneCodeHint = account.cloudPhoneCodeHint();
    connect(&m_service, &QuorvinMacService::changed, this, &ContentViewModel::accountChanged);
    connect(&m_defaults, &UserDefaults::changed, this, &ContentViewModel::changed);
}

bool ContentViewModel::showDockIcon() const
{
    return m_defaults.boolean(AppText::showDockIconKey).value_or(true);
}

void ContentViewModel::setShowDockIcon(bool value)
{
    m_defaults.setBoolean(AppText::showDockIconKey, value);
}

bool ContentViewModel::showMenuBarIcon() const
{
    return m_defaults.boolean(AppText::showMenuBarIconKey).value_or(true);
}

void ContentViewModel::setShowMenuBarIcon(bool value)
{
    m_defaults.setBoolean(AppText::showMenuBarIconKey, value);
}

bool ContentViewModel::mainWindowShortcutEnabled() const
{
    return m_defaults.boolean(AppText::mainWindowShortcutEnabledKey).value_or(false);
}

void ContentViewModel::setMainWindowShortcutEnabled(bool value)
{
    m_defaults.setBoolean(AppText::mainWindowShortcutEnabledKey, value);
}

QString ContentViewModel::appearanceMode() const
{
    return m_defaults.string(AppText::appearanceModeKey)
        .value_or(QuorvinAppearanceModes::rawValue(QuorvinAppearanceMode::System));
}

qint64 ContentViewModel::systemAppearanceRevision() const
{
    return m_defaults.integer(AppText::systemAppearanceRevisionKey).value_or(0);
}

bool ContentViewModel::launchAtLoginPromptHandled() const
{
    return m_defaults.boolean(AppText::launchAtLoginPromptHandledKey).value_or(false);
}

void ContentViewModel::setLaunchAtLoginPromptHandled(bool value)
{
    m_defaults.setBoolean(AppText::launchAtLoginPromptHandledKey, value);
}

bool ContentViewModel::launchAtLoginEnabled() const
{
    return m_defaults.boolean(AppText::launchAtLoginEnabledKey).value_or(false);
}

void ContentViewModel::setLaunchAtLoginEnabled(bool value)
{
    m_defaults.setBoolean(AppText::launchAtLoginEnabledKey, value);
}

bool ContentViewModel::isLoggedIn() const
{
    return !m_service.account().cloudAuthToken().trimmed().isEmpty();
}

QString ContentViewModel::navigationTitle() const
{
    return isLoggedIn() ? QString() : UiText::loginNavigationTitle;
}

QuorvinAppearanceMode ContentViewModel::selectedAppearanceMode() const
{
    return QuorvinAppearanceModes::fromRawValue(appearanceMode()).value_or(QuorvinAppearanceMode::System);
}

void ContentViewModel::selectAppearanceMode(QuorvinAppearanceMode mode)
{
    const QString raw = QuorvinAppearanceModes::rawValue(mode);
    m_defaults.setString(AppText::appearanceModeKey, raw);
    m_appearance.apply(raw);
}

void ContentViewModel::accountChanged()
{
    const CloudAccount &account = m_service.account();
    if (account.cloudAuthToken() != m_seenToken) {
        m_seenToken = account.cloudAuthToken();
        // A logout, an account deletion or a rejected session closes the account sheet.
        if (m_seenToken.trimmed().isEmpty()) {
            m_state.showingAccountPopover = false;
        }
    }
    if (account.cloudPhoneLoginStatus() != m_seenPhoneLoginStatus) {
        m_seenPhoneLoginStatus = account.cloudPhoneLoginStatus();
        if (m_seenPhoneLoginStatus == UiText::phoneSavedStatus) {
            m_state.showingPhoneEditor = false;
            m_state.cloudProfilePhoneDraft.clear();
            m_state.cloudProfilePhoneCodeDraft.clear();
        }
    }
    if (account.cloudProfileStatus() != m_seenProfileStatus) {
        m_seenProfileStatus = account.cloudProfileStatus();
        // The phone number typed for code verification stays for the next change.
        if (m_seenProfileStatus == UiText::passwordUpdatedStatus) {
            m_state.showingPasswordEditor = false;
            m_state.cloudProfilePasswordDraft.clear();
            m_state.cloudProfilePasswordConfirmDraft.clear();
            m_state.cloudProfileCurrentPasswordDraft.clear();
            m_state.cloudProfilePasswordCodeDraft.clear();
        }
    }
    if (account.cloudProfileNickname() != m_seenProfileNickname) {
        m_seenProfileNickname = account.cloudProfileNickname();
        m_state.cloudProfileNicknameDraft = m_seenProfileNickname;
    }
    if (account.cloudPhoneCodeHint() != m_seenPhoneCodeHint) {
        m_seenPhoneCodeHint = account.cloudPhoneCodeHint();
        // A code the user has already typed is never overwritten.
        if (m_seenPhoneCodeHint.startsWith(UiText::developmentCodePrefix)) {
            const QString code = m_seenPhoneCodeHint.mid(UiText::developmentCodePrefix.size()).trimmed();
            if (!code.isEmpty() && m_state.cloudProfilePasswordCodeDraft.isEmpty()) {
                m_state.cloudProfilePasswordCodeDraft = code;
            }
        }
    }
    Q_EMIT changed();
}

} // namespace quorvin

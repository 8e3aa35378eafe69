#include "ui/AccountPopoverModel.h"

#include "account/CloudAccount.h"
#include "platform/core/UnicodeText.h"
#include "sync/QuorvinMacService.h"
#include "ui/AccountInputRules.h"
#include "ui/CloudDeviceTexts.h"
#include "ui/ContentViewModel.h"
#include "ui/Strings.h"

#include <QUrlQuery>

namespace quorvin {

namespace {

QString trimmedSessionID(const CloudDeviceSessionPayload &session)
{
    return session.session_id.value_or(QString()).trimmed();
}

// Counted as a person sees the name, so an 80-character name of ideographs or emoji is still 80.
constexpr qsizetype maxNicknameCharacters = 80;

} // namespace

AccountPopoverModel::AccountPopoverModel(ContentViewModel &content)
    : m_content(content)
{
}

CloudAccount &AccountPopoverModel::account() const
{
    return m_content.service().account();
}

const ContentViewState &AccountPopoverModel::state() const
{
    return m_content.state();
}

bool AccountPopoverModel::isLoggedIn() const
{
    return m_content.isLoggedIn();
}

template <typename Edit> void AccountPopoverModel::edit(Edit &&change) const
{
    m_content.edit(std::forward<Edit>(change));
}

// ---- identity

QString AccountPopoverModel::accountToolbarTitle() const
{
    QString nickname = account().cloudProfileNickname().trimmed();
    if (!nickname.isEmpty()) {
        return nickname;
    }
    QString phone = AccountInputRules::formatPhoneDisplay(account().cloudPhoneDisplayLabel());
    if (!phone.isEmpty()) {
        return phone;
    }
    return UiText::accountTitleFallback;
}

QString AccountPopoverModel::accountAvatarInitial() const
{
    const QStringList characters = UnicodeText::characters(accountToolbarTitle().trimmed());
    return characters.isEmpty() ? QString() : characters.first().toUpper();
}

QString AccountPopoverModel::accountAvatarImageIdentity() const
{
    return account().cloudProfileAvatarURL().trimmed() + u'|' + account().cloudProfileAvatarRefreshToken();
}

std::optional<QUrl> AccountPopoverModel::versionedAvatarImageURL(const QString &address, const QString &refreshToken)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    const QString token = refreshToken.trimmed();
    QUrl url(trimmed, QUrl::StrictMode);
    if (token.isEmpty() || !url.isValid()) {
        return QUrl(trimmed);
    }
    QUrlQuery query(url);
    query.removeAllQueryItems(UiText::accountAvatarVersionQueryItem);
    query.addQueryItem(UiText::accountAvatarVersionQueryItem, token);
    url.setQuery(query);
    return url;
}

std::optional<QUrl> AccountPopoverModel::avatarImageURL() const
{
    return versionedAvatarImageURL(account().cloudProfileAvatarURL(), account().cloudProfileAvatarRefreshToken());
}

QString AccountPopoverModel::passwordRowValue() const
{
    return account().cloudProfilePasswordSet() ? UiText::accountPasswordSet : UiText::accountPasswordNotSet;
}

// ---- the sheet

void AccountPopoverModel::appear()
{
    resetCloudProfileDrafts();
    account().refreshCloudProfileSilently();
}

void AccountPopoverModel::closeAccountPopover()
{
    edit([](ContentViewState &state) {
        state.showingPhoneEditor = false;
        state.showingPasswordEditor = false;
        state.isProfileNicknameEditing = false;
        state.showingAccountPopover = false;
    });
}

void AccountPopoverModel::resetCloudProfileDrafts()
{
    const QString nickname = account().cloudProfileNickname();
    const QString phone = accountPhoneTextForEditing();
    edit([&](ContentViewState &state) {
        state.cloudProfileNicknameDraft = nickname;
        state.cloudProfilePhoneDraft.clear();
        state.cloudProfilePhoneCodeDraft.clear();
        state.cloudProfilePasswordDraft.clear();
        state.cloudProfilePasswordConfirmDraft.clear();
        state.cloudProfileCurrentPasswordDraft.clear();
        state.cloudProfilePasswordCodeDraft.clear();
        state.cloudProfilePasswordVerificationUsesCode = false;
        state.cloudProfilePasswordPhoneDraft = phone;
    });
}

void AccountPopoverModel::logout()
{
    if (!isLoggedIn()) {
        return;
    }
    edit([](ContentViewState &state) { state.showingAccountPopover = false; });
    account().logoutCloudSession();
}

// ---- nickname

bool AccountPopoverModel::canOpenProfileNicknameEditor() const
{
    return isLoggedIn() && !account().isCloudProfileSaving();
}

void AccountPopoverModel::openProfileNicknameEditor()
{
    if (!canOpenProfileNicknameEditor()) {
        return;
    }
    const QString nickname = account().cloudProfileNickname();
    edit([&](ContentViewState &state) {
        state.cloudProfileNicknameDraft = nickname;
        state.isProfileNicknameEditing = true;
    });
    account().setCloudProfileStatus(QString());
}

void AccountPopoverModel::setNicknameDraft(const QString &text)
{
    if (state().cloudProfileNicknameDraft != text) {
        edit([&](ContentViewState &state) { state.cloudProfileNicknameDraft = text; });
    }
}

bool AccountPopoverModel::canAttemptProfileNicknameSave() const
{
    return isLoggedIn() && state().isProfileNicknameEditing && !account().isCloudProfileSaving()
        && !account().isCloudProfileRefreshing();
}

void AccountPopoverModel::saveProfileNickname()
{
    if (!canAttemptProfileNicknameSave()) {
        return;
    }
    const QString nickname = state().cloudProfileNicknameDraft.trimmed();
    if (nickname.isEmpty()) {
        account().setCloudProfileStatus(UiText::accountNicknameEmpty);
        return;
    }
    if (UnicodeText::characterCount(nickname) > maxNicknameCharacters) {
        account().setCloudProfileStatus(UiText::accountNicknameTooLong);
        return;
    }
    if (nickname != account().cloudProfileNickname().trimmed()) {
        account().updateCloudProfile(nickname, account().cloudProfileAvatarURL());
    }
    edit([](ContentViewState &state) { state.isProfileNicknameEditing = false; });
}

// ---- avatar

bool AccountPopoverModel::canChangeAvatar() const
{
    return isLoggedIn() && !account().isCloudProfileSaving();
}

bool AccountPopoverModel::beginAvatarChoice()
{
    if (!canChangeAvatar() || state().showingAvatarFileImporter) {
        return false;
    }
    edit([](ContentViewState &state) { state.showingAvatarFileImporter = true; });
    return true;
}

void AccountPopoverModel::finishAvatarChoice(const AvatarImageChooser::Result &result)
{
    edit([](ContentViewState &state) { state.showingAvatarFileImporter = false; });
    if (result.error) {
        account().setCloudProfileStatus(UiText::accountAvatarChooserFailedPrefix + *result.error);
        return;
    }
    if (!result.files.isEmpty()) {
        account().uploadCloudAvatar(result.files.first());
    }
}

// ---- phone row

QString AccountPopoverModel::accountPhoneTextForEditing() const
{
    return AccountInputRules::accountPhoneTextForEditing(
        account().cloudPhoneDisplayLabel(), account().cloudPhoneNumber());
}

QString AccountPopoverModel::accountPhoneText() const
{
    const QString label = account().cloudPhoneDisplayLabel().trimmed();
    if (label.isEmpty()) {
        return account().cloudPhoneLinked() ? UiText::phoneLinked : UiText::phoneNotConfirmedHere;
    }
    if (!state().isAccountPhoneVisible) {
        return AccountInputRules::formatPhoneDisplay(label);
    }
    // A masked label hides what the eye should show: the stored number fills it in when it fits.
    const QString full = accountPhoneTextForEditing();
    return AccountInputRules::formatPhoneFullDisplay(label.contains(u'*') && !full.isEmpty() ? full : label);
}

bool AccountPopoverModel::canTogglePhoneVisibility() const
{
    return !account().cloudPhoneDisplayLabel().trimmed().isEmpty();
}

void AccountPopoverModel::togglePhoneVisibility()
{
    if (canTogglePhoneVisibility()) {
        edit([](ContentViewState &state) { state.isAccountPhoneVisible = !state.isAccountPhoneVisible; });
    }
}

// ---- devices

bool AccountPopoverModel::isCurrentDeviceSession(const CloudDeviceSessionPayload &session) const
{
    const QString id = trimmedSessionID(session);
    return !id.isEmpty() && id == account().cloudSessionID();
}

bool AccountPopoverModel::isRemovingDeviceSession(const CloudDeviceSessionPayload &session) const
{
    const QString id = trimmedSessionID(session);
    return !id.isEmpty() && id == account().cloudDeviceRevokingSessionID();
}

bool AccountPopoverModel::canRemoveDeviceSession(const CloudDeviceSessionPayload &session) const
{
    return !trimmedSessionID(session).isEmpty() && account().cloudDeviceRevokingSessionID().isEmpty()
        && !isCurrentDeviceSession(session);
}

QString AccountPopoverModel::cloudDeviceTitle(const CloudDeviceSessionPayload &session) const
{
    const bool current = isCurrentDeviceSession(session);
    return CloudDeviceTexts::cloudDeviceTitle(
        session, current, current ? account().currentMacDeviceDisplayName() : QString());
}

QString AccountPopoverModel::devicesRefreshLabel() const
{
    return account().isCloudDevicesRefreshing() ? UiText::devicesRefreshing : UiText::devicesRefresh;
}

bool AccountPopoverModel::canRefreshDevices() const
{
    return !account().cloudAuthToken().isEmpty() && !account().isCloudDevicesRefreshing();
}

void AccountPopoverModel::refreshDevices()
{
    if (canRefreshDevices()) {
        account().refreshCloudDevices();
    }
}

void AccountPopoverModel::requestDeviceRemoval(const CloudDeviceSessionPayload &session)
{
    if (canRemoveDeviceSession(session)) {
        edit([&](ContentViewState &state) { state.pendingCloudDeviceRemoval = session; });
    }
}

bool AccountPopoverModel::isDeviceRemovalConfirmationShown() const
{
    return state().pendingCloudDeviceRemoval.has_value();
}

QString AccountPopoverModel::cloudDeviceRemovalConfirmationMessage() const
{
    const auto &pending = state().pendingCloudDeviceRemoval;
    return pending ? CloudDeviceTexts::cloudDeviceRemovalConfirmationMessage(pending->client_kind) : QString();
}

void AccountPopoverModel::confirmDeviceRemoval()
{
    const auto pending = state().pendingCloudDeviceRemoval;
    if (!pending) {
        return;
    }
    edit([](ContentViewState &state) { state.pendingCloudDeviceRemoval.reset(); });
    account().revokeCloudDeviceSession(trimmedSessionID(*pending));
}

void AccountPopoverModel::cancelDeviceRemoval()
{
    if (state().pendingCloudDeviceRemoval) {
        edit([](ContentViewState &state) { state.pendingCloudDeviceRemoval.reset(); });
    }
}

// ---- account deletion

bool AccountPopoverModel::canOpenAccountDeletion() const
{
    return isLoggedIn() && !account().isCloudAccountDeleting();
}

void AccountPopoverModel::openAccountDeletion()
{
    if (canOpenAccountDeletion()) {
        edit([](ContentViewState &state) { state.showingAccountDeletion = true; });
    }
}

void AccountPopoverModel::closeAccountDeletion()
{
    edit([](ContentViewState &state) { state.showingAccountDeletion = false; });
}

void AccountPopoverModel::accountDeleted()
{
    edit([](ContentViewState &state) { state.showingAccountPopover = false; });
}

} // namespace quorvin

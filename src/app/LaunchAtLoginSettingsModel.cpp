#include "app/LaunchAtLoginSettingsModel.h"

#include "app/Strings.h"
#include "platform/core/Error.h"
#include "platform/defaults/UserDefaults.h"

namespace quorvin {

void LaunchAtLoginController::setEnabled(LoginItem &item, bool enabled)
{
    if (enabled) {
        item.registerItem();
    } else {
        item.unregisterItem();
    }
}

LaunchAtLoginSettingsModel::LaunchAtLoginSettingsModel(LoginItem &item, UserDefaults &defaults, QObject *parent)
    : QObject(parent)
    , m_item(item)
    , m_defaults(defaults)
{
}

bool LaunchAtLoginSettingsModel::launchAtLoginEnabled() const
{
    return m_defaults.boolean(AppText::launchAtLoginEnabledKey).value_or(false);
}

bool LaunchAtLoginSettingsModel::isOn(LoginItemStatus status)
{
    return status == LoginItemStatus::Enabled || status == LoginItemStatus::RequiresApproval;
}

std::optional<QString> LaunchAtLoginSettingsModel::detailText(LoginItemStatus status)
{
    switch (status) {
    case LoginItemStatus::RequiresApproval:
        return AppText::launchAtLoginRequiresApproval;
    case LoginItemStatus::NotFound:
        return AppText::launchAtLoginNotFound;
    case LoginItemStatus::NotRegistered:
    case LoginItemStatus::Enabled:
        break;
    }
    return std::nullopt;
}

void LaunchAtLoginSettingsModel::setEnabledFlag(bool enabled)
{
    m_defaults.setBoolean(AppText::launchAtLoginEnabledKey, enabled);
}

void LaunchAtLoginSettingsModel::refreshFromSystem()
{
    const auto status = m_item.status();
    setEnabledFlag(isOn(status));
    m_detailText = detailText(status);
    Q_EMIT changed();
}

void LaunchAtLoginSettingsModel::apply(bool enabled)
{
    const bool previous = launchAtLoginEnabled();
    setEnabledFlag(enabled);
    Q_EMIT changed();
    try {
        LaunchAtLoginController::setEnabled(m_item, enabled);
    } catch (const Error &error) {
        setEnabledFlag(previous);
        m_detailText = detailText(m_item.status());
        m_errorMessage = error.description();
        m_showingError = true;
        Q_EMIT changed();
        return;
    }
    refreshFromSystem();
}

void LaunchAtLoginSettingsModel::dismissError()
{
    if (m_showingError) {
        m_showingError = false;
        Q_EMIT changed();
    }
}

} // namespace quorvin

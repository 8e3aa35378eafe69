#include "ui/CloudDeviceTexts.h"

#include "account/CloudDeviceIdentity.h"
#include "model/DateFormatters.h"
#include "platform/core/UnicodeText.h"
#include "ui/AccountInputRules.h"
#include "ui/Strings.h"

namespace quorvin::CloudDeviceTexts {

namespace {

QString normalizedKind(const std::optional<QString> &kind)
{
    return kind.value_or(QString()).trimmed().toLower();
}

} // namespace

QString cloudClientKindLabel(const std::optional<QString> &kind)
{
    QString normalized = normalizedKind(kind);
    if (normalized == UiText::clientKindMac) {
        return UiText::clientKindMacLabel;
    }
    if (normalized == UiText::clientKindHarmony) {
        return UiText::clientKindHarmonyLabel;
    }
    if (normalized.isEmpty()) {
        return UiText::clientKindMissingLabel;
    }
    return normalized;
}

QString cloudDeviceLabelSuffix(const QString &label)
{
    const QString trimmed = label.trimmed();
    if (trimmed.isEmpty()) {
        return QString();
    }
    const QString lowered = trimmed.toLower();
    for (const QString &prefix : UiText::deviceLabelKindPrefixes) {
        if (UnicodeText::hasCharacterPrefix(lowered, prefix) || UnicodeText::hasCharacterPrefix(trimmed, prefix)) {
            // Taken off the label as written, not off its lower-cased copy.
            return UnicodeText::droppingFirstCharacters(trimmed, UnicodeText::characterCount(prefix)).trimmed();
        }
    }
    return QString();
}

QString cloudDeviceModelName(const QString &label, const QString &suffix)
{
    QString model = label.trimmed();
    if (model.isEmpty()) {
        return QString();
    }
    if (!suffix.isEmpty()) {
        for (const QString &form : {suffix, suffix.toUpper(), suffix.toLower()}) {
            const QString ending = u' ' + form;
            if (UnicodeText::hasCharacterSuffix(model, ending)) {
                model = UnicodeText::droppingLastCharacters(model, UnicodeText::characterCount(ending)).trimmed();
            }
        }
    }
    if (UiText::deviceLabelBareKinds.contains(model.toLower()) || model == UiText::deviceMacGeneric) {
        return QString();
    }
    return model;
}

QString readableMacDeviceName(const QString &name)
{
    return CloudDeviceIdentity::readableMacHardwareModelIdentifier(name);
}

QString formattedCloudDateTime(const std::optional<QString> &text, const QTimeZone &zone)
{
    const QString trimmed = text.value_or(QString()).trimmed();
    if (trimmed.isEmpty()) {
        return QString();
    }
    if (const auto date = DateFormatters::parseISO8601(trimmed)) {
        return AccountInputRules::compactDateTimeString(*date, zone);
    }
    QString shown = trimmed;
    shown.replace(u'T', u' ');
    shown.remove(u'Z');
    return shown;
}

QString cloudDeviceTitle(const CloudDeviceSessionPayload &session, bool isCurrent, const QString &currentMacDeviceName)
{
    QString label = session.device_label.value_or(QString()).trimmed();
    const QString kind = normalizedKind(session.client_kind);
    const QString suffix = cloudDeviceLabelSuffix(label);
    if (kind == UiText::clientKindMac) {
        if (isCurrent) {
            return readableMacDeviceName(currentMacDeviceName);
        }
        const QString model = cloudDeviceModelName(label, suffix);
        if (!model.isEmpty()) {
            return readableMacDeviceName(model);
        }
        if (!label.isEmpty() && suffix.isEmpty()) {
            return label;
        }
        return suffix.isEmpty() ? UiText::deviceMacGeneric : UiText::deviceMacGeneric + u' ' + suffix;
    }
    if (kind == UiText::clientKindHarmony) {
        if (!label.isEmpty() && suffix.isEmpty()) {
            return label;
        }
        return suffix.isEmpty() ? UiText::deviceHarmonyGeneric : UiText::deviceHarmonyGeneric + u' ' + suffix;
    }
    return label.isEmpty() ? cloudClientKindLabel(session.client_kind) : label;
}

QString cloudDeviceSubtitle(const CloudDeviceSessionPayload &session, const QTimeZone &zone)
{
    QStringList pieces {cloudClientKindLabel(session.client_kind)};
    const QString lastSeen = formattedCloudDateTime(session.last_seen_at, zone);
    if (!lastSeen.isEmpty()) {
        pieces.append(UiText::deviceLastSeenPrefix + lastSeen);
    }
    return pieces.join(UiText::deviceSubtitleSeparator);
}

QString cloudDeviceRemovalConfirmationMessage(const std::optional<QString> &kind)
{
    const QString normalized = normalizedKind(kind);
    if (normalized == UiText::clientKindHarmony) {
        return UiText::deviceRemovalHarmonyMessage;
    }
    if (normalized == UiText::clientKindMac) {
        return UiText::deviceRemovalMacMessage;
    }
    return UiText::deviceRemovalOtherMessage;
}

} // namespace quorvin::CloudDeviceTexts

#include "ui/AccountInputRules.h"

#include "platform/core/UnicodeText.h"
#include "ui/Strings.h"

#include <QLocale>
#include <QSet>

#include <algorithm>

namespace quorvin::AccountInputRules {

namespace {

// The 11 or 13 digits of a mainland number as the display rules read them: the digits, and
// whether they form the 13-digit form with its country code or the plain 11-digit form.
struct PhoneDigits {
    QStringList digits;
    bool withCountryCode = false;
    bool mainland = false;
};

PhoneDigits phoneDigits(const QString &text)
{
    PhoneDigits result;
    result.digits = UnicodeText::characters(UnicodeText::numericCharacters(UnicodeText::foldingDecimalDigits(text)));
    const QString joined = result.digits.join(QString());
    result.withCountryCode
        = result.digits.size() == 13 && UnicodeText::hasCharacterPrefix(joined, UiText::mainlandCountryCode);
    result.mainland = result.digits.size() == 11 && UnicodeText::hasCharacterPrefix(joined, QStringLiteral("1"));
    return result;
}

bool hasCategory(const QString &text, std::initializer_list<QChar::Category> categories)
{
    const QList<uint> codePoints = text.toUcs4();
    return std::any_of(codePoints.cbegin(), codePoints.cend(), [&](uint codePoint) {
        return std::find(categories.begin(), categories.end(), QChar::category(codePoint)) != categories.end();
    });
}

} // namespace

QString mainlandPhoneDigits(const QString &text)
{
    QString digits = UnicodeText::numericCharacters(UnicodeText::foldingDecimalDigits(text));
    if (UnicodeText::characterCount(digits) == 13
        && UnicodeText::hasCharacterPrefix(digits, UiText::mainlandCountryCode)) {
        return UnicodeText::droppingFirstCharacters(digits, 2);
    }
    return digits;
}

QString normalizedMainlandPhoneInput(const QString &text)
{
    return mainlandPhoneDigits(text);
}

bool isMainlandMobileNumber(const QString &typed)
{
    const QString number = UnicodeText::foldingDecimalDigits(typed);
    return UnicodeText::characterCount(number) == 11 && UnicodeText::hasCharacterPrefix(number, QStringLiteral("1"))
        && UnicodeText::isAllNumeric(number);
}

bool isVerificationCode(const QString &text)
{
    const QString trimmed = UnicodeText::foldingDecimalDigits(text.trimmed());
    return UnicodeText::characterCount(trimmed) == 6 && UnicodeText::isAllNumeric(trimmed);
}

QString formatPhoneDisplay(const QString &phone)
{
    QString trimmed = phone.trimmed();
    if (trimmed.contains(u'*')) {
        if (UnicodeText::hasCharacterPrefix(trimmed, UiText::mainlandCountryPrefix)) {
            return trimmed;
        }
        if (UnicodeText::hasCharacterPrefix(trimmed, UiText::mainlandCountryCode)) {
            return u'+' + trimmed;
        }
        if (UnicodeText::hasCharacterPrefix(trimmed, QStringLiteral("+"))) {
            return trimmed;
        }
        if (UnicodeText::characterCount(trimmed) == 11
            && UnicodeText::hasCharacterPrefix(trimmed, QStringLiteral("1"))) {
            return UiText::mainlandCountryPrefix + trimmed;
        }
        return trimmed;
    }
    const PhoneDigits number = phoneDigits(trimmed);
    if (number.withCountryCode) {
        return u'+' + number.digits.first(5).join(QString()) + UiText::phoneMask
            + number.digits.last(4).join(QString());
    }
    if (number.mainland) {
        return UiText::mainlandCountryPrefix + number.digits.first(3).join(QString()) + UiText::phoneMask
            + number.digits.last(4).join(QString());
    }
    return trimmed;
}

QString formatPhoneFullDisplay(const QString &phone)
{
    QString trimmed = phone.trimmed();
    if (trimmed.contains(u'*')) {
        return trimmed;
    }
    const PhoneDigits number = phoneDigits(trimmed);
    if (number.withCountryCode) {
        return u'+' + number.digits.join(QString());
    }
    if (number.mainland) {
        return UiText::mainlandCountryPrefix + number.digits.join(QString());
    }
    return trimmed;
}

bool maskedLabelFits(const QString &label, const QString &number)
{
    const QString digits = mainlandPhoneDigits(number);
    if (!isMainlandMobileNumber(digits) || !label.contains(u'*')) {
        return false;
    }
    QString shown = UnicodeText::foldingDecimalDigits(label.trimmed());
    shown.remove(u' ');
    shown.remove(u'-');
    if (shown.startsWith(UiText::mainlandCountryPrefix)) {
        shown.remove(0, UiText::mainlandCountryPrefix.size());
    } else if (shown.startsWith(UiText::mainlandCountryCode) && shown.size() == 13) {
        shown.remove(0, UiText::mainlandCountryCode.size());
    }
    if (shown.isEmpty() || shown.size() > digits.size()) {
        return false;
    }
    const qsizetype offset = digits.size() - shown.size();
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] != u'*' && shown[i] != digits[offset + i]) {
            return false;
        }
    }
    return true;
}

QString accountPhoneTextForEditing(const QString &displayLabel, const QString &storedNumber)
{
    QString trimmed = displayLabel.trimmed();
    if (trimmed.contains(u'*')) {
        // The service shows only part of the number; the number this account signed in with is
        // the whole of it, as long as it is the one the mask shows.
        return maskedLabelFits(trimmed, storedNumber) ? mainlandPhoneDigits(storedNumber) : QString();
    }
    const PhoneDigits number = phoneDigits(trimmed);
    if (number.withCountryCode) {
        return number.digits.mid(2).join(QString());
    }
    if (number.mainland) {
        return number.digits.join(QString());
    }
    return trimmed;
}

QString verificationPhone(const QString &draft)
{
    QString phone = UnicodeText::foldingDecimalDigits(draft.trimmed());
    phone.remove(u' ');
    phone.remove(u'-');
    if (UnicodeText::hasCharacterPrefix(phone, UiText::mainlandCountryPrefix)) {
        return UnicodeText::droppingFirstCharacters(phone, 3);
    }
    if (UnicodeText::hasCharacterPrefix(phone, UiText::mainlandCountryCode)
        && UnicodeText::characterCount(phone) == 13) {
        return UnicodeText::droppingFirstCharacters(phone, 2);
    }
    return phone;
}

bool containsSequentialRun(const QString &password)
{
    const QList<uint> codePoints = password.toLower().toUcs4();
    constexpr qsizetype run = 6;
    for (qsizetype start = 0; start + run <= codePoints.size(); ++start) {
        bool up = true;
        bool down = true;
        for (qsizetype i = start + 1; i < start + run; ++i) {
            const qint64 step = qint64(codePoints[i]) - qint64(codePoints[i - 1]);
            up = up && step == 1;
            down = down && step == -1;
        }
        if (up || down) {
            return true;
        }
    }
    return false;
}

bool containsWeakPasswordTerm(const QString &password)
{
    const QString lowered = password.toLower();
    return std::any_of(UiText::weakPasswordTerms.cbegin(), UiText::weakPasswordTerms.cend(),
        [&](const QString &term) { return lowered.contains(term); });
}

QString profilePasswordRuleMessage(const QString &password, const QString &phone)
{
    const QStringList characters = UnicodeText::characters(password);
    if (characters.size() <= 7) {
        return UiText::passwordTooShort;
    }
    if (characters.size() >= 17) {
        return UiText::passwordTooLong;
    }
    // Letters are categories L and M, so ideographs count; digits here are the decimal ones.
    const bool hasLetter = hasCategory(password,
        {QChar::Letter_Uppercase, QChar::Letter_Lowercase, QChar::Letter_Titlecase, QChar::Letter_Modifier,
            QChar::Letter_Other, QChar::Mark_NonSpacing, QChar::Mark_SpacingCombining, QChar::Mark_Enclosing});
    if (!hasLetter || !hasCategory(password, {QChar::Number_DecimalDigit})) {
        return UiText::passwordNeedsLettersAndDigits;
    }
    const bool oneCharacter = QSet<QString>(characters.cbegin(), characters.cend()).size() == 1;
    if (oneCharacter || containsSequentialRun(password) || containsWeakPasswordTerm(password)) {
        return UiText::passwordTooSimple;
    }
    const QString phoneDigits = mainlandPhoneDigits(phone);
    // Letters or punctuation between the digits do not hide the number.
    if (UnicodeText::characterCount(phoneDigits) == 11
        && UnicodeText::numericCharacters(UnicodeText::foldingDecimalDigits(password)).contains(phoneDigits)) {
        return UiText::passwordContainsPhone;
    }
    return QString();
}

QString compactDateTimeString(const QDateTime &date, const QTimeZone &zone)
{
    return QLocale(UiText::compactDateTimeLocale).toString(date.toTimeZone(zone), UiText::compactDateTimeFormat);
}

} // namespace quorvin::AccountInputRules

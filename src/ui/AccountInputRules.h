#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

// What the account screens check before anything is sent, and how they write phone numbers and
// dates. Lengths count user-perceived characters and "digits" are the numeric characters of a
// text (any script, fractions and numeric ideographs included), unless a rule names the decimal
// digits. The service checks again when it sends; these only decide what the editors enable and
// which hint they show.
namespace quorvin::AccountInputRules {

// The digits of the text; 13 of them beginning "86" lose those two, any other count stays.
QString mainlandPhoneDigits(const QString &text);
// The same; the phone editor's rules use this name.
QString normalizedMainlandPhoneInput(const QString &text);
// 11 characters, the first "1", all digits.
bool isMainlandMobileNumber(const QString &number);
// Trimmed: exactly 6 characters, all digits.
bool isVerificationCode(const QString &text);

// "+86", three digits, "****", four digits; an already masked text gets at most the country code.
QString formatPhoneDisplay(const QString &phone);
// "+86" and all the digits; a masked text stays as it is.
QString formatPhoneFullDisplay(const QString &phone);
// The account's own number as 11 editable digits, from the service's label. A masked label gives
// the number stored at sign-in (`storedNumber`) when that number fits the mask, else the empty
// text.
QString accountPhoneTextForEditing(const QString &displayLabel, const QString &storedNumber = {});
// Whether the 11-digit mainland `number` fits the masked `label`: every character the mask shows
// is the number's own, counted from the end ("+86" and separators aside).
bool maskedLabelFits(const QString &label, const QString &number);
// The password editor's phone text: trimmed, without " " and "-", without a leading "+86", or
// without the "86" of a 13-character text.
QString verificationPhone(const QString &draft);

// Six consecutive code points that each step by exactly +1, or each by exactly -1.
bool containsSequentialRun(const QString &password);
// Any of the weak terms, in any letter case.
bool containsWeakPasswordTerm(const QString &password);
// The first rule the password breaks, as its message; empty when it is acceptable. `phone` is
// checked only when it holds exactly 11 digits.
QString profilePasswordRuleMessage(const QString &password, const QString &phone);

// "yyyy-MM-dd HH:mm" in the "zh_CN" locale, in `zone` (the system's own by default).
QString compactDateTimeString(const QDateTime &date, const QTimeZone &zone = QTimeZone::systemTimeZone());

} // namespace quorvin::AccountInputRules

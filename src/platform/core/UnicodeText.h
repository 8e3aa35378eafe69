#pragma once

#include <QString>
#include <QStringList>

// How the system counts and classifies what a person typed: in user-perceived characters
// (extended grapheme clusters), never in UTF-16 units, and "numeric" as any character whose
// Unicode Numeric_Type is not None (ASCII digits, digits of other scripts, fractions, numeric
// ideographs). Every check of phone numbers and codes, in the views and in the cloud client,
// asks here, so no two of them ever disagree about one text.
namespace quorvin::UnicodeText {

QStringList characters(const QString &text);
qsizetype characterCount(const QString &text);
// Whether `text` begins with the characters of `prefix`, compared character by character.
bool hasCharacterPrefix(const QString &text, const QString &prefix);
// Whether `text` ends with the characters of `suffix`, compared character by character.
bool hasCharacterSuffix(const QString &text, const QString &suffix);
// `text` without its first `count` characters.
QString droppingFirstCharacters(const QString &text, qsizetype count);
// `text` without its last `count` characters.
QString droppingLastCharacters(const QString &text, qsizetype count);

bool isNumeric(char32_t codePoint);
// A character counts by its first code point, the one its combining marks attach to.
bool isNumeric(const QString &character);
// True for an empty text.
bool isAllNumeric(const QString &text);
// The numeric characters of `text`, in order.
QString numericCharacters(const QString &text);
// `text` with every decimal digit of any script (general category Nd: full-width, Arabic-Indic,
// Devanagari…) as its ASCII digit; every other character, other numerals included, as it was.
// A number or code typed in another script's digits means the same number to the user.
QString foldingDecimalDigits(const QString &text);
// `text` with every control character (C0, DEL, C1: an escape sequence, a carriage return, a line
// break) written as "\xHH", for texts from outside on their way to a terminal or a log line: a
// title must not move the cursor, recolour the terminal or forge a line of its own.
QString escapingControlCharacters(const QString &text);

} // namespace quorvin::UnicodeText

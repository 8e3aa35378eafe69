#pragma once

#include <QString>
#include <QStringList>

// How the views count and classify what the user types: in user-perceived characters (extended
// grapheme clusters), and "numeric" as any character with a Unicode numeric value (ASCII digits,
// digits of other scripts, numeric ideographs), unless a rule names the decimal digits.
namespace quorvin::QuorvinTextRules {

QStringList characters(const QString &text);
qsizetype characterCount(const QString &text);
// Whether `text` begins with the characters of `prefix`, compared character by character.
bool hasCharacterPrefix(const QString &text, const QString &prefix);
// `text` without its first `count` characters.
QString droppingFirstCharacters(const QString &text, qsizetype count);
bool isNumeric(const QString &character);
// True for an empty text.
bool isAllNumeric(const QString &text);

} // namespace quorvin::QuorvinTextRules

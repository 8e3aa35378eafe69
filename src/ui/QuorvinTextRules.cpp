#include "ui/QuorvinTextRules.h"

#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

#include <algorithm>

namespace quorvin::QuorvinTextRules {

QStringList characters(const QString &text)
{
    QStringList result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        result.append(text.mid(start, end - start));
        start = end;
    }
    return result;
}

qsizetype characterCount(const QString &text)
{
    return characters(text).size();
}

bool hasCharacterPrefix(const QString &text, const QString &prefix)
{
    const QStringList own = characters(text);
    const QStringList wanted = characters(prefix);
    return own.size() >= wanted.size() && std::equal(wanted.cbegin(), wanted.cend(), own.cbegin());
}

QString droppingFirstCharacters(const QString &text, qsizetype count)
{
    return characters(text).mid(count).join(QString());
}

bool isNumeric(const QString &character)
{
    if (character.isEmpty()) {
        return false;
    }
    // A character counts by its first code point, the one its combining marks attach to.
    const char32_t first = character.at(0).isHighSurrogate() && character.size() > 1
        ? QChar::surrogateToUcs4(character.at(0), character.at(1))
        : character.at(0).unicode();
    return u_getIntPropertyValue(static_cast<UChar32>(first), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isAllNumeric(const QString &text)
{
    const QStringList all = characters(text);
    return std::all_of(all.cbegin(), all.cend(), isNumeric);
}

} // namespace quorvin::QuorvinTextRules

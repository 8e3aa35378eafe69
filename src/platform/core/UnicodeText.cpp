#include "platform/core/UnicodeText.h"

#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

#include <algorithm>

namespace quorvin::UnicodeText {

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

bool hasCharacterSuffix(const QString &text, const QString &suffix)
{
    const QStringList own = characters(text);
    const QStringList wanted = characters(suffix);
    return own.size() >= wanted.size() && std::equal(wanted.crbegin(), wanted.crend(), own.crbegin());
}

QString droppingFirstCharacters(const QString &text, qsizetype count)
{
    return characters(text).mid(count).join(QString());
}

QString droppingLastCharacters(const QString &text, qsizetype count)
{
    const QStringList all = characters(text);
    return all.first(std::max<qsizetype>(0, all.size() - count)).join(QString());
}

bool isNumeric(char32_t codePoint)
{
    return u_getIntPropertyValue(static_cast<UChar32>(codePoint), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isNumeric(const QString &character)
{
    if (character.isEmpty()) {
        return false;
    }
    const char32_t first = character.at(0).isHighSurrogate() && character.size() > 1
        ? QChar::surrogateToUcs4(character.at(0), character.at(1))
        : character.at(0).unicode();
    return isNumeric(first);
}

bool isAllNumeric(const QString &text)
{
    const QStringList all = characters(text);
    return std::all_of(all.cbegin(), all.cend(), [](const QString &character) { return isNumeric(character); });
}

QString numericCharacters(const QString &text)
{
    QString result;
    for (const QString &character : characters(text)) {
        if (isNumeric(character)) {
            result += character;
        }
    }
    return result;
}

QString foldingDecimalDigits(const QString &text)
{
    QString folded;
    folded.reserve(text.size());
    for (const char32_t codePoint : text.toUcs4()) {
        const int value = u_charDigitValue(static_cast<UChar32>(codePoint));
        if (value >= 0 && u_charType(static_cast<UChar32>(codePoint)) == U_DECIMAL_DIGIT_NUMBER) {
            folded += QChar(u'0' + value);
        } else {
            folded += QString::fromUcs4(&codePoint, 1);
        }
    }
    return folded;
}

QString escapingControlCharacters(const QString &text)
{
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0); };
    if (std::none_of(text.cbegin(), text.cend(), isControl)) {
        return text;
    }
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (isControl(c)) {
            static constexpr char digits[] = "0123456789ABCDEF";
            escaped += QLatin1String("\\x");
            escaped += QLatin1Char(digits[(c.unicode() >> 4) & 0xF]);
            escaped += QLatin1Char(digits[c.unicode() & 0xF]);
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace quorvin::UnicodeText

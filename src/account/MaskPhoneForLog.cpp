#include "account/MaskPhoneForLog.h"

#include "platform/core/UnicodeText.h"

#include <QStringList>

namespace quorvin {

namespace {
// Digits are whole characters: a digit outside the basic plane is two UTF-16 units, and cutting
// between them would leave half a character in the log.
QString firstCharacters(const QStringList &characters, qsizetype count)
{
    return characters.mid(0, count).join(QString());
}

QString lastCharacters(const QStringList &characters, qsizetype count)
{
    return characters.mid(qMax<qsizetype>(0, characters.size() - count)).join(QString());
}
} // namespace

QString maskPhoneForLog(const QString &phoneNumber)
{
    QString trimmed = phoneNumber.trimmed();
    const QStringList digits = UnicodeText::characters(UnicodeText::numericCharacters(trimmed));
    const QString stars = QStringLiteral("****");
    const auto startsWith
        = [&digits](const QString &prefix) { return firstCharacters(digits, prefix.size()) == prefix; };
    if (digits.size() == 13 && startsWith(QStringLiteral("86"))) {
        return u'+' + firstCharacters(digits, 5) + stars + lastCharacters(digits, 4);
    }
    const bool plus = trimmed.startsWith(u'+');
    if (!plus && digits.size() == 11 && startsWith(QStringLiteral("1"))) {
        return QStringLiteral("+86") + firstCharacters(digits, 3) + stars + lastCharacters(digits, 4);
    }
    if (digits.size() < 7) {
        return trimmed;
    }
    return (plus ? QStringLiteral("+") : QString()) + firstCharacters(digits, 3) + stars + lastCharacters(digits, 4);
}

} // namespace quorvin

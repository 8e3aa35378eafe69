#include "account/MaskPhoneForLog.h"

#include "platform/core/UnicodeText.h"

namespace quorvin {

QString maskPhoneForLog(const QString &phoneNumber)
{
    const QString trimmed = phoneNumber.trimmed();
    const QString digits = UnicodeText::numericCharacters(trimmed);
    const QString stars = QStringLiteral("****");
    if (digits.size() == 13 && digits.startsWith(QLatin1String("86"))) {
        return u'+' + digits.left(5) + stars + digits.right(4);
    }
    const bool plus = trimmed.startsWith(u'+');
    if (!plus && digits.size() == 11 && digits.startsWith(u'1')) {
        return QStringLiteral("+86") + digits.left(3) + stars + digits.right(4);
    }
    if (digits.size() < 7) {
        return trimmed;
    }
    return (plus ? QStringLiteral("+") : QString()) + digits.left(3) + stars + digits.right(4);
}

} // namespace quorvin

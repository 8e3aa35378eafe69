#include "activity/LogTextBound.h"

#include "platform/core/UnicodeText.h"

#include <QTextBoundaryFinder>

namespace quorvin {

QString boundedLogText(const QString &outside)
{
    QString text = UnicodeText::escapingControlCharacters(outside);
    // A character is at least one UTF-16 unit: a text no longer than the bound in units is within
    // it, and most are.
    if (text.size() <= maxLogTextCharacters) {
        return text;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype characters = 0;
    qsizetype cut = 0;
    while (finder.toNextBoundary() >= 0) {
        ++characters;
        if (characters == maxLogTextCharacters - 1) {
            cut = finder.position();
        } else if (characters > maxLogTextCharacters) {
            return text.left(cut) + QStringLiteral("…");
        }
    }
    return text;
}

} // namespace quorvin

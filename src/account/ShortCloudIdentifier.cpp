#include "account/ShortCloudIdentifier.h"

#include <QList>
#include <QTextBoundaryFinder>

namespace quorvin {

QString shortCloudIdentifier(const QString &identifier)
{
    QString trimmed = identifier.trimmed();
    if (trimmed.isEmpty()) {
        return QStringLiteral("-");
    }
    // Characters as a reader sees them (grapheme clusters): a cut never splits an accented letter
    // or an emoji sequence.
    QList<qsizetype> starts {0};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, trimmed);
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        starts.append(next);
    }
    const qsizetype characters = starts.size() - 1;
    if (characters >= 15) {
        return trimmed.left(starts[7]) + QChar(0x2026) + trimmed.mid(starts[characters - 4]);
    }
    return trimmed;
}

} // namespace quorvin

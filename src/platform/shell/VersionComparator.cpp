#include "platform/shell/VersionComparator.h"

#include <limits>

namespace quorvin {

namespace {

enum class Kind { Number, String, Separator };

Kind kindOf(QChar c)
{
    if (c == u'.' || c.isSpace() || c.isPunct()) {
        return Kind::Separator;
    }
    return c.isDigit() ? Kind::Number : Kind::String;
}

// A number part's value, saturating rather than wrapping on absurd lengths.
qint64 valueOf(const QString &number)
{
    constexpr qint64 limit = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (const QChar c : number) {
        const int digit = c.digitValue();
        if (value > (limit - digit) / 10) {
            return limit;
        }
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

QStringList VersionComparator::parts(const QString &version)
{
    QStringList result;
    if (version.isEmpty()) {
        return result;
    }
    QString current(version[0]);
    Kind previous = kindOf(version[0]);
    for (qsizetype i = 1; i < version.size(); ++i) {
        const Kind kind = kindOf(version[i]);
        if (kind != previous || kind == Kind::Separator) {
            result.append(current);
            current.clear();
        }
        current += version[i];
        previous = kind;
    }
    result.append(current);
    return result;
}

int VersionComparator::compare(const QString &a, const QString &b)
{
    const QStringList partsA = parts(a);
    const QStringList partsB = parts(b);
    const qsizetype shared = std::min(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < shared; ++i) {
        const Kind kindA = kindOf(partsA[i][0]);
        const Kind kindB = kindOf(partsB[i][0]);
        if (kindA == kindB) {
            if (kindA == Kind::Number) {
                const qint64 valueA = valueOf(partsA[i]);
                const qint64 valueB = valueOf(partsB[i]);
                if (valueA != valueB) {
                    return valueA < valueB ? -1 : 1;
                }
            } else if (kindA == Kind::String) {
                if (const int order = QString::compare(partsA[i], partsB[i]); order != 0) {
                    return order < 0 ? -1 : 1;
                }
            }
            continue;
        }
        if (kindA == Kind::String || kindB == Kind::String) {
            return kindA == Kind::String ? -1 : 1;
        }
        return kindA == Kind::Number ? 1 : -1;
    }
    if (partsA.size() == partsB.size()) {
        return 0;
    }
    const bool aLonger = partsA.size() > partsB.size();
    const Kind next = kindOf((aLonger ? partsA : partsB)[shared][0]);
    const int longerIsNewer = next == Kind::String ? -1 : 1;
    return aLonger ? longerIsNewer : -longerIsNewer;
}

} // namespace quorvin

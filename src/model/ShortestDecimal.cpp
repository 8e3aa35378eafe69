#include "model/ShortestDecimal.h"

#include <QLocale>

#include <cmath>

namespace quorvin {

QByteArray shortestDecimal(double value)
{
    // Qt drops the sign of a negative zero, which would then read back as another double.
    if (value == 0 && std::signbit(value)) {
        return QByteArrayLiteral("-0");
    }
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0 || (magnitude >= 1e-4 && magnitude < 1e16);
    return QByteArray::number(value, plain ? 'f' : 'g', QLocale::FloatingPointShortest);
}

QByteArray shortestDecimalWithFraction(double value)
{
    QByteArray text = shortestDecimal(value);
    if (std::isfinite(value) && !text.contains('.') && !text.contains('e')) {
        text.append(".0", 2);
    }
    return text;
}

} // namespace quorvin

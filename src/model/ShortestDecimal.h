#pragma once

#include <QByteArray>

namespace quorvin {

// The shortest decimal text that reads back to the same finite double, without an exponent for
// ordinary magnitudes (1e-4 up to 1e16). "-900", "0.5".
QByteArray shortestDecimal(double value);

// The same with ".0" after an integral value: "-900.0", "0.0", "0.5".
QByteArray shortestDecimalWithFraction(double value);

} // namespace quorvin

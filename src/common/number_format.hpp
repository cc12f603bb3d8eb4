#pragma once

#include <QChar>
#include <QString>

namespace common {

// Fixed-point text of `value` with exactly `decimals` decimals ("0", "0.0", "0.00").
// Rounds half away from zero on the decimal digits the value prints with at 18
// significant digits, as the original extended-precision formatting did: 13.125
// gives "13.13". A value that rounds to zero never carries a minus sign.
QString formatFixed(long double value, int decimals, QChar decimalSeparator);

// The value of a hexadecimal digit in either case, or -1 for anything else.
int hexDigit(QChar c);

}  // namespace common

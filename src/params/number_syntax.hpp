#pragma once

#include <QChar>
#include <QStringView>
#include <optional>

namespace params {

// Reads an edit's text as a number: optional spaces, an optional sign, digits with at most
// one `decimalSeparator` (a lone separator reads as 0), an optional exponent ('E' or 'e',
// optional sign, digits), optional spaces, nothing else. No thousands separator. A value
// too large for long double is a failure; one too small to represent reads as 0.
// Independent of the process's C locale: the separator is the only locale input.
std::optional<long double> parseNumber(QStringView text, QChar decimalSeparator);

}  // namespace params

#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace keymap {

// The whole-number syntax of the key table's texts: leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$" or "0x"; nothing may follow the digits.
// Decimal values must fit the signed 32-bit range; up to eight hex digits are taken as a
// 32-bit pattern ("$FFFFFFFF" is -1). Anything else, trailing blanks included, is unreadable.
std::optional<std::int32_t> parseWholeNumber(const QString& text);

}  // namespace keymap

#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace settings {

// The integer forms that Control.ini files written by the Windows program use:
// "0x1F"/"0X1F" (only when the text is longer than two characters), otherwise leading
// spaces, an optional sign and an optional "$" hex prefix. Up to eight hex digits are a
// 32-bit pattern ("$FFFFFFFF" is -1); a decimal number must fit in 32 signed bits.
// Anything after the number, or no number at all, gives nothing.
std::optional<std::int32_t> parseInteger(QStringView text);

// The stored form: decimal, "-" when negative.
QString formatInteger(std::int32_t value);

// Booleans are stored as integers: "1" and "0" when written, any non-zero number is true.
QString formatBool(bool value);

}  // namespace settings

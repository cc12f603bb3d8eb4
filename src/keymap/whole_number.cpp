#include "keymap/whole_number.hpp"

#include "common/number_format.hpp"

namespace keymap {

namespace {

int decDigit(QChar c) {
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9' ? u - u'0' : -1;
}

}  // namespace

std::optional<std::int32_t> parseWholeNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == QLatin1Char(' ')) ++i;

    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    bool hex = false;
    if (i < n && text[i] == QLatin1Char('$')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        hex = true;
        i += 2;
    }

    if (i >= n) return std::nullopt;  // a sign or prefix without digits

    // Accumulate in 64 bits and stop as soon as the value leaves the allowed range, so a
    // long run of digits can never overflow.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (; i < n; ++i) {
        const int d = hex ? common::hexDigit(text[i]) : decDigit(text[i]);
        if (d < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
        if (value > limit) return std::nullopt;
    }

    // Two's complement on 32 bits: hex is a bit pattern, and "-2147483648" is in range.
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

}  // namespace keymap

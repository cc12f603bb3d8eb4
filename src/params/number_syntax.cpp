#include "params/number_syntax.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace params {
namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Far beyond the decimal exponent range of long double (about ±4951), yet small enough
// that adding the count of mantissa digits can never overflow.
constexpr std::int64_t ExponentCap = 1'000'000'000;

}  // namespace

std::optional<long double> parseNumber(QStringView text, QChar decimalSeparator) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto at = [&](qsizetype k) { return k < n ? text[k] : QChar(); };

    while (i < n && text[i] == QLatin1Char(' ')) ++i;

    bool negative = false;
    if (at(i) == QLatin1Char('+') || at(i) == QLatin1Char('-')) {
        negative = at(i) == QLatin1Char('-');
        ++i;
    }

    // Mantissa digits without leading zeros; `pointShift` is how many of them stand
    // before the separator, so the value is 0.digits × 10^pointShift.
    std::string digits;
    std::int64_t pointShift = 0;
    bool sawDigit = false;
    bool sawSeparator = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            sawDigit = true;
            if (digits.empty() && c == QLatin1Char('0')) {
                if (sawSeparator) --pointShift;  // a zero right after the point
                continue;
            }
            digits.push_back(static_cast<char>(c.unicode()));
            if (!sawSeparator) ++pointShift;
        } else if (c == decimalSeparator && !sawSeparator) {
            sawSeparator = true;
        } else {
            break;
        }
    }
    if (!sawDigit && !sawSeparator) return std::nullopt;

    if (at(i) == QLatin1Char('e') || at(i) == QLatin1Char('E')) {
        ++i;
        bool expNegative = false;
        if (at(i) == QLatin1Char('+') || at(i) == QLatin1Char('-')) {
            expNegative = at(i) == QLatin1Char('-');
            ++i;
        }
        if (!isDigit(at(i))) return std::nullopt;
        std::int64_t exponent = 0;
        for (; isDigit(at(i)); ++i)
            if (exponent < ExponentCap) exponent = exponent * 10 + (text[i].unicode() - '0');
        pointShift += expNegative ? -exponent : exponent;
    }

    while (i < n && text[i] == QLatin1Char(' ')) ++i;
    if (i != n) return std::nullopt;

    if (digits.empty()) return 0.0L;  // only zeros, or a lone separator
    while (digits.back() == '0') digits.pop_back();

    // Decide the extremes here so that the conversion below only sees sane exponents.
    if (pointShift > 5000) return std::nullopt;
    if (pointShift < -5000) return negative ? -0.0L : 0.0L;

#ifdef __MINGW32__
    // mingw's from_chars reads a long double only within the range of a double; its strtold
    // reads all of it. Digits and exponent only, so no locale's decimal point is involved.
    const std::string canonical =
        digits + "e" + std::to_string(pointShift - static_cast<std::int64_t>(digits.size()));
    char* end = nullptr;
    long double value = std::strtold(canonical.c_str(), &end);
    if (end != canonical.c_str() + canonical.size()) return std::nullopt;
#else
    const std::string canonical = "0." + digits + "e" + std::to_string(pointShift);
    long double value = 0;
    const auto [end, ec] =
        std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (pointShift > 0) return std::nullopt;
        value = 0;
    } else if (ec != std::errc() || end != canonical.data() + canonical.size()) {
        return std::nullopt;
    }
#endif
    if (!std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace params

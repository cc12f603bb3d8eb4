#include "common/number_format.hpp"

#include <cmath>
#include <cstdio>
#include <string>

namespace common {

QString formatFixed(long double value, int decimals, QChar decimalSeparator) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (decimals < 0) decimals = 0;

    // 18 significant digits: d.ddddddddddddddddde±x
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17Le", std::fabs(value));
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits.push_back(*p);
    const int exponent = (*p == 'e') ? std::atoi(p + 1) : 0;

    // digits[0] has weight 10^exponent. Keep the digits down to weight 10^-decimals.
    int intDigits = exponent + 1;  // count of digits before the decimal point
    const int keep = intDigits + decimals;
    if (keep < 0) {
        digits.clear();
    } else if (keep < static_cast<int>(digits.size())) {
        const bool roundUp = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        if (roundUp) {
            int i = keep - 1;
            for (; i >= 0; --i) {
                if (digits[static_cast<size_t>(i)] == '9') {
                    digits[static_cast<size_t>(i)] = '0';
                } else {
                    ++digits[static_cast<size_t>(i)];
                    break;
                }
            }
            if (i < 0) {
                digits.insert(digits.begin(), '1');
                ++intDigits;
            }
        }
    }
    // Place the kept digits: pad on the left for small values, on the right for exact ones.
    std::string full;
    if (intDigits < 0) {
        full.assign(static_cast<size_t>(-intDigits), '0');
        full += digits;
        intDigits = 0;
    } else {
        full = digits;
    }
    const int wanted = intDigits + decimals;
    if (static_cast<int>(full.size()) < wanted)
        full.append(static_cast<size_t>(wanted - full.size()), '0');
    if (static_cast<int>(full.size()) > wanted) full.resize(static_cast<size_t>(wanted));

    std::string intPart = full.substr(0, static_cast<size_t>(intDigits));
    const std::string fracPart = full.substr(static_cast<size_t>(intDigits));
    const size_t nz = intPart.find_first_not_of('0');
    intPart = (nz == std::string::npos) ? "0" : intPart.substr(nz);

    const bool allZero = full.find_first_not_of('0') == std::string::npos;
    QString out;
    if (value < 0 && !allZero) out += QLatin1Char('-');
    out += QString::fromLatin1(intPart.data(), static_cast<qsizetype>(intPart.size()));
    if (decimals > 0) {
        out += decimalSeparator;
        out += QString::fromLatin1(fracPart.data(), static_cast<qsizetype>(fracPart.size()));
    }
    return out;
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

}  // namespace common

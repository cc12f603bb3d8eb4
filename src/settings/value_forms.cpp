#include "settings/value_forms.hpp"

#include "common/number_format.hpp"

namespace settings {
namespace {

// Leading zeros are fine; more than eight significant digits do not fit the pattern.
std::optional<std::uint32_t> parseHex(QStringView digits) {
    if (digits.isEmpty()) return std::nullopt;
    std::uint32_t value = 0;
    for (QChar c : digits) {
        const int d = common::hexDigit(c);
        if (d < 0 || value > 0x0FFFFFFFu) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> parseInteger(QStringView text) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        const auto pattern = parseHex(text.mid(2));
        if (!pattern) return std::nullopt;
        return static_cast<std::int32_t>(*pattern);
    }

    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i < text.size() && text[i] == u'$') {
        const auto pattern = parseHex(text.mid(i + 1));
        if (!pattern) return std::nullopt;
        // Negating a bit pattern wraps, as the 32-bit arithmetic it came from did.
        return static_cast<std::int32_t>(negative ? 0u - *pattern : *pattern);
    }

    if (i == text.size()) return std::nullopt;
    constexpr std::int64_t limit = std::int64_t{1} << 31;  // |INT32_MIN|
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < '0' || u > '9') return std::nullopt;
        magnitude = magnitude * 10 + (u - '0');
        if (magnitude > limit) return std::nullopt;
    }
    if (!negative && magnitude == limit) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

QString formatInteger(std::int32_t value) {
    return QString::number(value);
}

QString formatBool(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace settings

// The three number syntaxes against reference models built another way: a regular
// expression decides the form, the C library or 128-bit arithmetic gives the value.
// Then format(parse(x)) must parse back to the same text.
#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

#include "common/number_format.hpp"
#include "fuzz_check.hpp"
#include "keymap/whole_number.hpp"
#include "params/number_syntax.hpp"
#include "settings/value_forms.hpp"

namespace {

// The text as the parsers see it and, when it is all ASCII, as the regexes see it.
struct Input {
    QString text;
    std::optional<std::string> ascii;
};

// Parameter numbers: the regex fixes the form, strtold (C locale) the value.
void checkParameterNumber(const Input& in, char sep) {
    const std::optional<long double> got = params::parseNumber(in.text, QLatin1Char(sep));
    if (!in.ascii) {
        FUZZ_CHECK(!got);  // every character of the syntax is ASCII
        return;
    }
    const std::string s = *in.ascii;
    const std::string d = sep == '.' ? "\\." : ",";
    static const std::regex dot("^ *([+-]?)([0-9]*(\\.[0-9]*)?)([eE][+-]?[0-9]+)? *$");
    static const std::regex comma("^ *([+-]?)([0-9]*(,[0-9]*)?)([eE][+-]?[0-9]+)? *$");
    std::smatch m;
    if (!std::regex_match(s, m, sep == '.' ? dot : comma) || m[2].length() == 0) {
        FUZZ_CHECK(!got);
        return;
    }
    std::string mantissa = m[2].str();
    for (char& c : mantissa)
        if (c == sep) c = '.';
    if (mantissa == ".") mantissa = "0";
    const std::string c = m[1].str() + mantissa + m[4].str();
    errno = 0;
    char* end = nullptr;
    const long double want = std::strtold(c.c_str(), &end);
    FUZZ_CHECK(end == c.c_str() + c.size());
    if (std::isinf(want)) {
        FUZZ_CHECK(!got);
        return;
    }
    FUZZ_CHECK(got);
    if (errno == ERANGE) {
        // Too small to represent: zero, or the subnormal the C library rounds to.
        FUZZ_CHECK(*got == 0 || *got == want);
    } else {
        FUZZ_CHECK(*got == want);
    }

    // What the form shows is read again as the same number (display formats "0", "0.0",
    // "0.00"), with either separator.
    if (std::fabs(*got) < 1e30L) {
        for (int decimals = 0; decimals <= 2; ++decimals) {
            const QString shown = common::formatFixed(*got, decimals, QLatin1Char(sep));
            const auto again = params::parseNumber(shown, QLatin1Char(sep));
            FUZZ_CHECK(again);
            FUZZ_CHECK(common::formatFixed(*again, decimals, QLatin1Char(sep)) == shown);
        }
    }
}

// The digits after leading zeros, as a number when it fits in 64 bits.
std::optional<unsigned __int128> digitsValue(const std::string& digits, int base) {
    unsigned __int128 v = 0;
    for (char ch : digits) {
        const int dv =
            std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : std::tolower(ch) - 'a' + 10;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(dv);
        if (v > (static_cast<unsigned __int128>(1) << 64)) return std::nullopt;
    }
    return v;
}

std::int32_t wrap32(unsigned __int128 v, bool negative) {
    std::uint32_t bits = static_cast<std::uint32_t>(v);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

// Decimal with a sign must fit the signed range; hex is a pattern of up to 32 bits.
std::optional<std::int32_t> referenceValue(bool negative, const std::string& digits, bool hex) {
    const auto v = digitsValue(digits, hex ? 16 : 10);
    if (!v) return std::nullopt;
    if (hex) {
        if (*v > 0xFFFFFFFFu) return std::nullopt;
        return wrap32(*v, negative);
    }
    if (*v > (negative ? 0x80000000u : 0x7FFFFFFFu)) return std::nullopt;
    return wrap32(*v, negative);
}

// Key-table whole numbers: blanks, sign, then decimal, "$" hex or "0x" hex; nothing after.
void checkWholeNumber(const Input& in) {
    const auto got = keymap::parseWholeNumber(in.text);
    if (!in.ascii) {
        FUZZ_CHECK(!got);
        return;
    }
    static const std::regex form("^ *([+-]?)(?:\\$([0-9A-Fa-f]+)|0[xX]([0-9A-Fa-f]+)|([0-9]+))$");
    std::smatch m;
    std::optional<std::int32_t> want;
    if (std::regex_match(*in.ascii, m, form)) {
        const bool negative = m[1] == "-";
        if (m[2].matched)
            want = referenceValue(negative, m[2].str(), true);
        else if (m[3].matched)
            want = referenceValue(negative, m[3].str(), true);
        else
            want = referenceValue(negative, m[4].str(), false);
    }
    FUZZ_CHECK(got == want);
    if (got) FUZZ_CHECK(keymap::parseWholeNumber(QString::number(*got)) == got);
}

// INI integers: "0x" hex only at the very start of a text longer than two characters;
// otherwise blanks, sign, and decimal or "$" hex.
void checkIniInteger(const Input& in) {
    const auto got = settings::parseInteger(in.text);
    if (!in.ascii) {
        FUZZ_CHECK(!got);
        return;
    }
    const std::string& s = *in.ascii;
    std::optional<std::int32_t> want;
    static const std::regex cHex("^0[xX](.*)$");
    static const std::regex hexDigits("^[0-9A-Fa-f]+$");
    static const std::regex form("^ *([+-]?)(?:\\$([0-9A-Fa-f]+)|([0-9]+))$");
    std::smatch m;
    if (s.size() > 2 && std::regex_match(s, m, cHex)) {
        const std::string rest = m[1].str();
        if (std::regex_match(rest, hexDigits)) want = referenceValue(false, rest, true);
    } else if (std::regex_match(s, m, form)) {
        const bool negative = m[1] == "-";
        want = m[2].matched ? referenceValue(negative, m[2].str(), true)
                            : referenceValue(negative, m[3].str(), false);
    }
    FUZZ_CHECK(got == want);
    if (got) FUZZ_CHECK(settings::parseInteger(settings::formatInteger(*got)) == got);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: how to read the rest (Latin-1 or UTF-8) and the decimal separator.
    const std::uint8_t mode = data[0];
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const qsizetype n = static_cast<qsizetype>(size - 1);
    Input in;
    in.text = (mode & 1) ? QString::fromUtf8(bytes, n) : QString::fromLatin1(bytes, n);
    bool ascii = true;
    for (QChar c : in.text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) in.ascii = in.text.toStdString();

    checkParameterNumber(in, (mode & 2) ? ',' : '.');
    checkWholeNumber(in);
    checkIniInteger(in);
    return 0;
}

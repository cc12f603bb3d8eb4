#include "keymap/whole_number.hpp"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct Case {
    const char16_t* text;
    std::optional<std::int32_t> value;
};

TEST(WholeNumber, Syntax) {
    const Case cases[] = {
        {u"0", 0},
        {u"517", 517},
        {u"   42", 42},
        {u"+7", 7},
        {u"-7", -7},
        {u"  -12", -12},
        {u"00000000000000000042", 42},
        {u"$41", 65},
        {u"0x41", 65},
        {u"0X41", 65},
        {u"$ff", 255},
        {u"$Ff", 255},
        {u"-$10", -16},
        {u"-0x10", -16},
        {u"$0000000041", 65},
        {u"2147483647", INT32_MAX},
        {u"-2147483648", INT32_MIN},
        // Eight hex digits are a bit pattern.
        {u"$FFFFFFFF", -1},
        {u"$80000000", INT32_MIN},
        {u"$7FFFFFFF", INT32_MAX},
        // Unreadable.
        {u"", std::nullopt},
        {u" ", std::nullopt},
        {u"   ", std::nullopt},
        {u"abc", std::nullopt},
        {u"65 ", std::nullopt},
        {u"4 2", std::nullopt},
        {u"12a", std::nullopt},
        {u"$", std::nullopt},
        {u"0x", std::nullopt},
        {u"x41", std::nullopt},
        {u"$g", std::nullopt},
        {u"-", std::nullopt},
        {u"+", std::nullopt},
        {u"+-1", std::nullopt},
        {u"- 1", std::nullopt},
        {u"\t42", std::nullopt},
        {u"1.5", std::nullopt},
        {u"2147483648", std::nullopt},
        {u"-2147483649", std::nullopt},
        {u"$100000000", std::nullopt},
        {u"99999999999999999999999999", std::nullopt},
        {u"$FFFFFFFFFFFFFFFFFFFF", std::nullopt},
        {u"\uFF11\uFF12", std::nullopt},  // full-width digits are not digits here
        {u"\u0661", std::nullopt},        // nor Arabic-Indic ones
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(keymap::parseWholeNumber(text), c.value) << '"' << text.toStdString() << '"';
    }
}

}  // namespace

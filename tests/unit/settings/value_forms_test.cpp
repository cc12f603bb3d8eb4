#include "settings/value_forms.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace {

struct IntegerCase {
    const char16_t* text;
    std::optional<std::int32_t> expected;
};

TEST(ValueForms, IntegerTexts) {
    const IntegerCase cases[] = {
        {u"0", 0},
        {u"-3", -3},
        {u"+7", 7},
        {u"  12", 12},
        {u" -5", -5},
        {u"007", 7},
        {u"00000000000000000042", 42},
        {u"2147483647", INT32_MAX},
        {u"-2147483648", INT32_MIN},
        {u"2147483648", std::nullopt},
        {u"-2147483649", std::nullopt},
        {u"99999999999999999999", std::nullopt},
        // "0x" only counts when something follows it.
        {u"0x20", 32},
        {u"0X20", 32},
        {u"0x", std::nullopt},
        {u"0X", std::nullopt},
        {u"0xFFFFFFFF", -1},
        {u"0x80000000", INT32_MIN},
        {u"0x000000020", 32},
        {u"0x100000000", std::nullopt},
        {u"0x-1", std::nullopt},
        {u"0x 1", std::nullopt},
        {u"0x1g", std::nullopt},
        {u"  0x20", std::nullopt},  // the "0x" form allows no blanks before it
        {u"$20", 32},
        {u"$ff", 255},
        {u"$FFFFFFFF", -1},
        {u"$7FFFFFFF", INT32_MAX},
        {u"$100000000", std::nullopt},
        {u"-$10", -16},
        {u"+$10", 16},
        {u"  $10", 16},
        {u"$-10", std::nullopt},
        {u"$", std::nullopt},
        {u"-$", std::nullopt},
        {u"FF", std::nullopt},
        {u"abc", std::nullopt},
        {u"", std::nullopt},
        {u"   ", std::nullopt},
        {u"-", std::nullopt},
        {u"+", std::nullopt},
        {u"- 5", std::nullopt},
        {u"12a", std::nullopt},
        {u"20 ", std::nullopt},
        {u"1 2", std::nullopt},
        {u"1.5", std::nullopt},
        {u"\uFF11", std::nullopt},  // a full-width digit is not a digit here
        {u"\t5", std::nullopt},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(settings::parseInteger(text), c.expected) << '"' << text.toStdString() << '"';
    }
}

}  // namespace

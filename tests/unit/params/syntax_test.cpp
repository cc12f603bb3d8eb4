#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "common/cp1251.hpp"
#include "params/alpha_bet.hpp"
#include "params/number_syntax.hpp"

#include "fakes.hpp"

using params::parseNumber;
using params_test::localised;

namespace {

class NumberSyntax : public testing::TestWithParam<QChar> {};

TEST_P(NumberSyntax, AcceptsAndRejects) {
    const QChar sep = GetParam();
    constexpr double Fail = NAN;
    struct {
        const char* text;
        double expected;  // NAN: not a number
    } cases[] = {
        {"12", 12},
        {"   12", 12},
        {"12   ", 12},
        {"  +12  ", 12},
        {"-20", -20},
        {"-0", 0},
        {"007", 7},
        {"1#5", 1.5},
        {"#5", 0.5},
        {"5#", 5},
        {"0#05", 0.05},
        {"10#50", 10.5},
        {"#", 0},    // a lone separator
        {"-#", 0},   // with a sign
        {" # ", 0},  // with spaces
        {"1e2", 100},
        {"1E+2", 100},
        {"15e-1", 1.5},
        {"#5e1", 5},
        {"#e3", 0},
        {"1e0002", 100},
        {"", Fail},
        {"   ", Fail},
        {"+", Fail},
        {"-", Fail},
        {"+-1", Fail},
        {"--1", Fail},
        {"- 1", Fail},
        {"1#5#", Fail},   // two separators
        {"1#2#3", Fail},  // two separators
        {"##", Fail},
        {"1~5", Fail},    // the other locale's separator
        {"1 000", Fail},  // thousands separator: a space
        {"1~000", Fail},  // thousands separator: the other mark
        {"1e", Fail},
        {"1e+", Fail},
        {"e2", Fail},
        {"1 e2", Fail},
        {"1e 2", Fail},
        {"1e2#5", Fail},
        {"\t1", Fail},
        {"1\t", Fail},
        {"1x", Fail},
        {"0x10", Fail},
        {"inf", Fail},
        {"-INF", Fail},
        {"nan", Fail},
        {"1e4933", Fail},  // overflows long double
        {"-1e99999", Fail},
        {"1e99999999999999999999999", Fail},
        {"1e-99999", 0},  // underflow reads as 0
        {"1e-99999999999999999999999", 0},
    };
    for (const auto& c : cases) {
        const QString text = localised(c.text, sep);
        const auto got = parseNumber(text, sep);
        if (std::isnan(c.expected)) {
            EXPECT_FALSE(got.has_value()) << text.toStdString();
        } else {
            ASSERT_TRUE(got.has_value()) << text.toStdString();
            EXPECT_NEAR(static_cast<double>(*got), c.expected, 1e-15) << text.toStdString();
        }
    }
}

TEST_P(NumberSyntax, LongInputsNeitherOverflowNorLoseTheirValue) {
    const QChar sep = GetParam();
    const QString manyZeros(6000, QLatin1Char('0'));
    EXPECT_EQ(parseNumber(manyZeros + QStringLiteral("12"), sep), 12.0L);
    EXPECT_EQ(parseNumber(QStringLiteral("12") + sep + manyZeros, sep), 12.0L);
    EXPECT_FALSE(parseNumber(QStringLiteral("1") + manyZeros, sep));  // 1e6000
    EXPECT_EQ(parseNumber(sep + manyZeros + QStringLiteral("1"), sep), 0.0L);
    // Digits far beyond what long double holds still compare as the number they mean.
    const auto justAbove = parseNumber(
        QStringLiteral("15") + sep + QString(30, QLatin1Char('0')) + QStringLiteral("1"), sep);
    ASSERT_TRUE(justAbove);
    EXPECT_EQ(*justAbove, 15.0L);
    EXPECT_EQ(parseNumber(QStringLiteral("1") + sep + QStringLiteral("5e1"), sep), 15.0L);
    // Near the top of the range: still a number, just below the overflow.
    const auto huge = parseNumber(QStringLiteral("1e4931"), sep);
    ASSERT_TRUE(huge);
    EXPECT_TRUE(std::isfinite(*huge) && *huge > 1e4930L);
}

INSTANTIATE_TEST_SUITE_P(Locales, NumberSyntax,
                         testing::Values(QChar(QLatin1Char(',')), QChar(QLatin1Char('.'))),
                         [](const testing::TestParamInfo<QChar>& info) {
                             return info.param == QLatin1Char(',') ? "Comma" : "Point";
                         });

TEST(AlphaBetTest, EveryCodePageByteFollowsTheRule) {
    const std::set<int> discardedBelow65 = {0x20, 0x2A, 0x2B, 0x2F};
    for (int b = 0; b < 256; ++b) {
        const QChar ch = common::cp1251Char(static_cast<unsigned char>(b));
        const bool passes = b < 65 && !discardedBelow65.count(b);
        EXPECT_EQ(params::AlphaBet(ch), passes ? ch : QChar(0)) << "code " << b;
    }
}

TEST(AlphaBetTest, TypedCharacters) {
    struct {
        char16_t ch;
        bool passes;
    } cases[] = {
        {u'a', false},  {u'Z', false},      {u'A', false}, {u'@', true},    {u'ж', false},
        {u'Ё', false},  {u'я', false},      {u' ', false}, {u'/', false},   {u'+', false},
        {u'*', false},  {u'-', true},       {u',', true},  {u'.', true},    {u'0', true},
        {u'9', true},   {u'\b', true},      {u'\r', true}, {u'\x16', true},  // Ctrl+V
        {u'ä', false},                                                       // not in the code page
        {u'中', false}, {u'\u00A0', false},  // no-break space is 0xA0
    };
    for (const auto& c : cases) {
        const QChar ch(c.ch);
        EXPECT_EQ(params::AlphaBet(ch), c.passes ? ch : QChar(0)) << "U+" << std::hex << int(c.ch);
    }
}

}  // namespace

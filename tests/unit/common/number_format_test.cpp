#include "common/number_format.hpp"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    long double value;
    int decimals;
    const char* expected;
};

class FormatFixed : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatFixed, RoundsHalfAwayFromZeroOnPrintedDigits) {
    const auto& c = GetParam();
    EXPECT_EQ(common::formatFixed(c.value, c.decimals, QLatin1Char('.')).toStdString(), c.expected)
        << static_cast<double>(c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatFixed,
    ::testing::Values(FormatCase{13.125L, 2, "13.13"}, FormatCase{-13.125L, 2, "-13.13"},
                      FormatCase{0.125L, 2, "0.13"}, FormatCase{12.0L, 2, "12.00"},
                      FormatCase{0, 2, "0.00"}, FormatCase{0, 0, "0"}, FormatCase{0, 1, "0.0"},
                      FormatCase{-0.23L, 0, "0"}, FormatCase{-0.04L, 1, "0.0"},
                      FormatCase{-0.004L, 2, "0.00"}, FormatCase{-0.05L, 1, "-0.1"},
                      FormatCase{799.2L, 0, "799"}, FormatCase{799.5L, 0, "800"},
                      FormatCase{-0.5L, 0, "-1"}, FormatCase{9.995L, 2, "10.00"},
                      FormatCase{99.96L, 1, "100.0"}, FormatCase{0.0004L, 2, "0.00"},
                      FormatCase{0.005L, 2, "0.01"}, FormatCase{1234567.5L, 0, "1234568"},
                      FormatCase{29.2L, 1, "29.2"}, FormatCase{1e-30L, 2, "0.00"},
                      FormatCase{-1e-30L, 0, "0"}, FormatCase{25.0L, 1, "25.0"}));

TEST(FormatFixedSeparator, UsesTheGivenSeparator) {
    EXPECT_EQ(common::formatFixed(13.42L, 2, QLatin1Char(',')), QStringLiteral("13,42"));
    EXPECT_EQ(common::formatFixed(29.2L, 1, QLatin1Char(',')), QStringLiteral("29,2"));
    EXPECT_EQ(common::formatFixed(5, 0, QLatin1Char(',')), QStringLiteral("5"));
}

}  // namespace

#include "common/cp1251.hpp"

#include <gtest/gtest.h>

namespace {

TEST(Cp1251, RoundTripsEveryDefinedByte) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) continue;
        const QByteArray one(1, static_cast<char>(b));
        EXPECT_EQ(common::toCp1251(common::fromCp1251(one)), one) << b;
    }
}

TEST(Cp1251, KnownCharacters) {
    struct {
        int byte;
        char16_t unicode;
    } cases[] = {{0xC0, u'А'},   {0xFF, u'я'}, {0xA8, u'Ё'}, {0xB8, u'ё'}, {0xB0, u'°'},
                 {0xAD, 0x00AD}, {0x70, u'p'}, {0x88, u'€'}, {0xB9, u'№'}};
    for (const auto& c : cases) {
        EXPECT_EQ(common::cp1251Char(static_cast<unsigned char>(c.byte)).unicode(), c.unicode);
        EXPECT_EQ(common::cp1251Byte(QChar(c.unicode)), c.byte);
    }
}

TEST(Cp1251, UnrepresentableBecomesQuestionMark) {
    EXPECT_EQ(common::toCp1251(QStringLiteral("a€ü✓б")), QByteArray("a\x88??\xE1"));
    EXPECT_EQ(common::cp1251Byte(QChar(u'ü')), -1);
    EXPECT_EQ(common::cp1251Char(0x98), QChar(QChar::ReplacementCharacter));
}

}  // namespace

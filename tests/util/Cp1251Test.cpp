#include "util/Cp1251.h"

#include <gtest/gtest.h>

TEST(Cp1251, RussianTextBothWays)
{
    const std::string bytes = "\xD2\xE0\xE1\xEB\xEE \xB8\xA8 \xB9";   // "Табло ёЁ №"
    EXPECT_EQ(Cp1251ToUtf8(bytes), "Табло ёЁ №");
    EXPECT_EQ(Utf8ToCp1251("Табло ёЁ №"), bytes);
}

TEST(Cp1251, CharactersItCannotHoldBecomeQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1251("a€b✓c😀"), "a\x88" "b?c?");
    EXPECT_EQ(Utf8ToCp1251("\xFF\xC3"), "??");   // malformed UTF-8
}

TEST(Cp1251, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

// The number parser shared by every text that becomes a number.
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <limits>

TEST(SettingsNumbers, DecimalWithSignsAndBlanks)
{
    EXPECT_EQ(ParseNumber("42"), 42);
    EXPECT_EQ(ParseNumber("  \t 17"), 17);
    EXPECT_EQ(ParseNumber("-305"), -305);
    EXPECT_EQ(ParseNumber("+8"), 8);
    EXPECT_EQ(ParseNumber("\t-0012"), -12);
    EXPECT_EQ(ParseNumber("1920x1080"), 1920); // stops at the first other character
    EXPECT_EQ(ParseNumber("12 34"), 12);
    EXPECT_EQ(ParseNumber("3.9"), 3);
}

TEST(SettingsNumbers, NoDigitsGiveZero)
{
    EXPECT_EQ(ParseNumber(""), 0);
    EXPECT_EQ(ParseNumber("   "), 0);
    EXPECT_EQ(ParseNumber("on"), 0);
    EXPECT_EQ(ParseNumber("-"), 0);
    EXPECT_EQ(ParseNumber("+-5"), 0); // one sign only
    EXPECT_EQ(ParseNumber("- 5"), 0); // no blank between sign and digits
    EXPECT_EQ(ParseNumber("\n5"), 0); // only blanks and tabs are skipped
    EXPECT_EQ(ParseNumber("$"), 0);
    EXPECT_EQ(ParseNumber("%"), 0);
    EXPECT_EQ(ParseNumber("$xyz"), 0);
}

TEST(SettingsNumbers, HexadecimalAndBinary)
{
    EXPECT_EQ(ParseNumber("$FF"), 255);
    EXPECT_EQ(ParseNumber("$ff"), 255);
    EXPECT_EQ(ParseNumber("$1aG"), 26);
    EXPECT_EQ(ParseNumber(" -$10"), -16);
    EXPECT_EQ(ParseNumber("%1011"), 11);
    EXPECT_EQ(ParseNumber("%1021"), 2); // binary stops at the first non-binary digit
    EXPECT_EQ(ParseNumber("-%11"), -3);
    EXPECT_EQ(ParseNumber("%"), 0);
}

TEST(SettingsNumbers, LimitsAndOverflowSaturate)
{
    const int64_t Max = std::numeric_limits<int64_t>::max();
    const int64_t Min = std::numeric_limits<int64_t>::min();
    EXPECT_EQ(ParseNumber("9223372036854775807"), Max);
    EXPECT_EQ(ParseNumber("-9223372036854775808"), Min);
    EXPECT_EQ(ParseNumber("9223372036854775808"), Max);
    EXPECT_EQ(ParseNumber("-9223372036854775809"), Min);
    EXPECT_EQ(ParseNumber("99999999999999999999999999999"), Max);
    EXPECT_EQ(ParseNumber("-99999999999999999999999999999"), Min);
    EXPECT_EQ(ParseNumber("$FFFFFFFFFFFFFFFFFFFF"), Max);
    EXPECT_EQ(ParseNumber("18446744073709551616x"), Max); // 2^64 exactly
    EXPECT_EQ(ParseNumber("$7FFFFFFFFFFFFFFF"), Max);
}

TEST(SettingsNumbers, DecimalOnlyVariantAndClamp)
{
    EXPECT_EQ(ParseDecimalNumber(" -7 apples"), -7);
    EXPECT_EQ(ParseDecimalNumber("$10"), 0);
    EXPECT_EQ(ParseDecimalNumber("%10"), 0);
    EXPECT_EQ(ClampToInt32(5), 5);
    EXPECT_EQ(ClampToInt32(-5), -5);
    EXPECT_EQ(ClampToInt32(int64_t(1) << 40), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ClampToInt32(-(int64_t(1) << 40)), std::numeric_limits<int32_t>::min());
}

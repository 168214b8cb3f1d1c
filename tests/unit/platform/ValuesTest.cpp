#include "Platform/Values/Array.h"
#include "Platform/Values/DecimalNumber.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/Null.h"
#include "Platform/Values/String.h"

#include <gtest/gtest.h>
#include <limits>

using namespace platform;

TEST(StringConversion, IntegersTakeTheLeadingDigitsAndSaturate)
{
    EXPECT_EQ(String(" 12abc").longLongValue(), 12);
    EXPECT_EQ(String("1.9").longLongValue(), 1);
    EXPECT_EQ(String("-42").longLongValue(), -42);
    EXPECT_EQ(String("+7").intValue(), 7);
    EXPECT_EQ(String("abc").longLongValue(), 0);
    EXPECT_EQ(String("").intValue(), 0);
    EXPECT_EQ(String("99999999999999999999999").longLongValue(), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(String("-99999999999999999999999").longLongValue(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(String("-9223372036854775808").longLongValue(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(String("3000000000").intValue(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(String("-3000000000").intValue(), std::numeric_limits<int32_t>::min());
}

TEST(StringConversion, BoolFollowsTheFirstMeaningfulCharacter)
{
    EXPECT_TRUE(String("yes").boolValue());
    EXPECT_TRUE(String("  True").boolValue());
    EXPECT_TRUE(String("007").boolValue());
    EXPECT_TRUE(String("-0009x").boolValue());
    EXPECT_FALSE(String("no").boolValue());
    EXPECT_FALSE(String("0").boolValue());
    EXPECT_FALSE(String("000").boolValue());
    EXPECT_FALSE(String("").boolValue());
    EXPECT_FALSE(String("x1").boolValue());
}

TEST(StringConversion, FloatingPointIgnoresTheLocale)
{
    EXPECT_DOUBLE_EQ(String("3.25kg").doubleValue(), 3.25);
    EXPECT_DOUBLE_EQ(String(" -1.5e3").doubleValue(), -1500.0);
    EXPECT_DOUBLE_EQ(String(".5").doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(String("7.").doubleValue(), 7.0);
    EXPECT_DOUBLE_EQ(String("2e").doubleValue(), 2.0);
    EXPECT_DOUBLE_EQ(String("1,5").doubleValue(), 1.0);
    EXPECT_DOUBLE_EQ(String("abc").doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(String("-").doubleValue(), 0.0);
    EXPECT_TRUE(std::isinf(String("1e999").doubleValue()));
}

TEST(NumberConversion, NarrowTypesKeepLowBitsAndFloatsTruncate)
{
    EXPECT_EQ(Number::fromLongLong(70000)->shortValue(), 4464);
    EXPECT_EQ(Number::fromInt(300)->charValue(), 44);
    EXPECT_EQ(Number::fromDouble(3.9)->longLongValue(), 3);
    EXPECT_EQ(Number::fromDouble(-3.9)->longLongValue(), -3);
    EXPECT_EQ(Number::fromDouble(1e300)->longLongValue(), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(Number::fromDouble(std::nan(""))->longLongValue(), 0);
    EXPECT_TRUE(Number::fromDouble(0.5)->boolValue());
    EXPECT_FALSE(Number::fromLongLong(0)->boolValue());
    EXPECT_EQ(Number::fromBool(true)->stringValue(), "1");
    EXPECT_EQ(Number::fromLongLong(-42)->stringValue(), "-42");
    EXPECT_EQ(Number::fromDouble(0.1)->stringValue(), "0.1");
    EXPECT_EQ(Number::fromUnsignedLongLong(18446744073709551615ULL)->stringValue(), "18446744073709551615");
}

TEST(NumberConversion, EqualityAcrossKinds)
{
    EXPECT_TRUE(isEqual(Number::fromInt(3), Number::fromDouble(3.0)));
    EXPECT_FALSE(isEqual(Number::fromLongLong(-1), Number::fromUnsignedLongLong(18446744073709551615ULL)));
    EXPECT_TRUE(isEqual(DecimalNumber::fromString("1.50"), Number::fromDouble(1.5)));
    EXPECT_FALSE(isEqual(Number::fromInt(1), String::make("1")));
}

TEST(DecimalNumber, ParsesAndNormalises)
{
    EXPECT_EQ(DecimalNumber::fromString("12.3400")->stringValue(), "12.34");
    EXPECT_EQ(DecimalNumber::fromString("-0.005")->stringValue(), "-0.005");
    EXPECT_EQ(DecimalNumber::fromString("1.5E3")->stringValue(), "1500");
    EXPECT_EQ(DecimalNumber::fromString("2e-2")->stringValue(), "0.02");
    EXPECT_EQ(DecimalNumber::fromString("-0")->stringValue(), "0");
    EXPECT_EQ(DecimalNumber::fromString("123456789012345678901234567890")->longLongValue(),
              std::numeric_limits<int64_t>::max());
    EXPECT_EQ(DecimalNumber::fromString("9007199254740993")->longLongValue(), 9007199254740993LL);
    EXPECT_DOUBLE_EQ(DecimalNumber::fromString("12.5")->doubleValue(), 12.5);
    for (const char *bad : {"abc", "1.2.3", "1e", "--1", ".", "1e999", "12abc"})
        EXPECT_TRUE(DecimalNumber::fromString(bad)->isNaN()) << bad;
    EXPECT_EQ(DecimalNumber::notANumber()->stringValue(), "NaN");
    EXPECT_EQ(DecimalNumber::fromNumber(*Number::fromDouble(0.1))->stringValue(), "0.1");
    EXPECT_EQ(DecimalNumber::fromNumber(*Number::fromLongLong(-77))->stringValue(), "-77");
}

TEST(Containers, SharedByReferenceAndComparedByValue)
{
    auto inner = Dictionary::make({{"x", Number::fromInt(1)}});
    auto outer =
        Dictionary::make({{"inner", inner}, {"list", Array::make({String::make("a"), Null::null()})}});
    EXPECT_EQ(outer->value("inner"), inner);
    inner->setValue("y", Number::fromInt(2));
    EXPECT_EQ(as<Dictionary>(outer->value("inner"))->count(), 2u);

    auto copy = outer->copy();
    EXPECT_NE(copy, outer);
    EXPECT_TRUE(isEqual(copy, outer));
    EXPECT_EQ(copy->value("inner"), inner);
    copy->setValue("inner", nullptr);
    EXPECT_FALSE(copy->contains("inner"));
    EXPECT_TRUE(outer->contains("inner"));
    EXPECT_EQ(Null::null(), Null::null());
    EXPECT_EQ(Null::null()->description(), "<null>");
}

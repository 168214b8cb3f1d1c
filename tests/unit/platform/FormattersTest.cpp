#include "Platform/Text/DateFormatter.h"
#include "Platform/Text/NumberFormatter.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(NumberFormatter, DecimalStyleFollowsTheLocaleAndRejectsPartialText)
{
    const NumberFormatter us(NumberFormatter::Style::Decimal, "en_US");
    const NumberFormatter de(NumberFormatter::Style::Decimal, "de_DE");
    ASSERT_TRUE(us.numberFromString("1,234.5"));
    EXPECT_DOUBLE_EQ(us.numberFromString("1,234.5")->doubleValue(), 1234.5);
    ASSERT_TRUE(de.numberFromString("1.234,5"));
    EXPECT_DOUBLE_EQ(de.numberFromString("1.234,5")->doubleValue(), 1234.5);
    EXPECT_EQ(us.numberFromString("-42")->longLongValue(), -42);
    EXPECT_FALSE(us.numberFromString("12abc"));
    EXPECT_FALSE(us.numberFromString(""));
    EXPECT_FALSE(us.numberFromString("abc"));

    const NumberFormatter plain(NumberFormatter::Style::Plain, "en_US");
    ASSERT_TRUE(plain.numberFromString("70000"));
    EXPECT_EQ(plain.numberFromString("70000")->unsignedLongLongValue(), 70000u);
    EXPECT_FALSE(plain.numberFromString("7x"));
}

TEST(DateFormatter, ParsesWholeTextWithTheUnicodePattern)
{
    const DateFormatter dash("yyyy-MM-dd", "en_US");
    auto date = dash.dateFromString("2019-09-24");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->toDateTime().toLocalTime().date(), QDate(2019, 9, 24));
    EXPECT_FALSE(dash.dateFromString("2019-09-24 trailing"));
    EXPECT_FALSE(dash.dateFromString("24/09/2019"));
    EXPECT_FALSE(dash.dateFromString("2019-13-45")) << "strict: no rolling over";
    EXPECT_FALSE(dash.dateFromString(""));
    auto named = DateFormatter("d MMM yyyy", "en_US").dateFromString("7 Oct 2019");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->toDateTime().toLocalTime().date(), QDate(2019, 10, 7));
}

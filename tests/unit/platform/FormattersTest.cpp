#include "Platform/Text/DateFormatter.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(DateFormatter, ParsesWholeTextWithTheUnicodePattern)
{
    const DateFormatter dash("yyyy-MM-dd", "en_US");
    auto date = dash.dateFromString("2019-09-24");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->toLocalTime().date(), QDate(2019, 9, 24));
    EXPECT_FALSE(dash.dateFromString("2019-09-24 trailing"));
    EXPECT_FALSE(dash.dateFromString("24/09/2019"));
    EXPECT_FALSE(dash.dateFromString("2019-13-45")) << "strict: no rolling over";
    EXPECT_FALSE(dash.dateFromString(""));
    auto named = DateFormatter("d MMM yyyy", "en_US").dateFromString("7 Oct 2019");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->toLocalTime().date(), QDate(2019, 10, 7));
}

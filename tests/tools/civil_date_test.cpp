#include "tools/civil_date.h"

#include <gtest/gtest.h>

namespace clinicdb {
namespace {

TEST(CivilDate, CountsDaysFromTheEpoch) {
    EXPECT_EQ(DayOf(1970, 1, 1), 0);
    EXPECT_EQ(DayOf(1969, 12, 31), -1);
    EXPECT_EQ(DayOf(2000, 1, 1), 10957);
    EXPECT_EQ(FormatDay(DayOf(2024, 5, 1)), "2024-05-01");
}

TEST(CivilDate, KnowsLeapYears) {
    EXPECT_EQ(DayOf(2000, 3, 1) - DayOf(2000, 2, 28), 2);
    EXPECT_EQ(DayOf(1900, 3, 1) - DayOf(1900, 2, 28), 1);
    EXPECT_EQ(DayOf(2024, 3, 1) - DayOf(2024, 2, 28), 2);
    EXPECT_EQ(DayOf(2023, 3, 1) - DayOf(2023, 2, 28), 1);
}

TEST(CivilDate, FormatAndParseRoundTripOverTwoCenturies) {
    std::string previous;
    for (Day day = DayOf(1900, 1, 1); day <= DayOf(2100, 12, 31); ++day) {
        const std::string text = FormatDay(day);
        ASSERT_EQ(ParseDay(text), day) << text;
        ASSERT_LT(previous, text);  // the text sorts as the days do
        previous = text;
    }
}

TEST(CivilDate, ParseRejectsWhatIsNoDate) {
    EXPECT_TRUE(ParseDay("2024-02-29"));
    for (const char* bad :
         {"2023-02-29", "2024-02-30", "2024-04-31", "2024-13-01", "2024-00-10", "2024-01-00",
          "2024-1-01", "2024/01/01", "", "abcd-ef-gh", "2024-01-011", " 2024-01-01"})
        EXPECT_FALSE(ParseDay(bad)) << bad;
}

}  // namespace
}  // namespace clinicdb

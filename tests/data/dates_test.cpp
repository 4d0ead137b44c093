// The short date format, both ways.
#include <gtest/gtest.h>

#include "data/dates.h"

class DatesTest : public ::testing::Test {
protected:
    void SetUp() override { dates::SetToday(dates::FromCivil(2026, 12, 8)); }
    void TearDown() override {
        dates::SetToday(std::nullopt);
        dates::SetShortDateFormat("yyyy-M-d");
    }
};

TEST_F(DatesTest, DaysCountFromTheLastDaysOf1899) {
    EXPECT_EQ(dates::FromCivil(1899, 12, 30), 0);
    EXPECT_EQ(dates::FromCivil(1900, 1, 1), 2);
    EXPECT_EQ(dates::FromCivil(2000, 3, 1) - dates::FromCivil(2000, 2, 28), 2);
    const dates::Civil c = dates::ToCivil(dates::FromCivil(2024, 2, 29));
    EXPECT_EQ(c.year * 10000 + c.month * 100 + c.day, 20240229);
}

TEST_F(DatesTest, FormatsAndReadsInThePatternsOrder) {
    const int day = dates::FromCivil(2026, 12, 9);
    dates::SetShortDateFormat("yyyy-M-d");
    EXPECT_EQ(dates::FormatShortDate(day), "2026-12-9");
    EXPECT_EQ(dates::ParseShortDate(" 2026-12-09 "), day);
    EXPECT_EQ(dates::ParseShortDate("12-9"), day) << "the year defaults to this year";
    dates::SetShortDateFormat("d/M/yyyy");
    EXPECT_EQ(dates::FormatShortDate(day), "9/12/2026");
    EXPECT_EQ(dates::ParseShortDate("9/12/2026"), day);
    EXPECT_EQ(dates::ParseShortDate("9/12/26"), day);
    EXPECT_EQ(dates::ParseShortDate("9/12/80"), dates::FromCivil(1980, 12, 9));
    dates::SetShortDateFormat("MM/dd/yy");
    EXPECT_EQ(dates::FormatShortDate(day), "12/09/26");
}

TEST_F(DatesTest, RefusesWhatIsNoDate) {
    for (const char* text : {"", "2026", "2026-2-30", "2026-13-1", "2026/12/9", "2026-12-9-1",
                             "abc", "2026--9", "-2026-1-1"}) {
        EXPECT_FALSE(dates::ParseShortDate(text)) << text;
    }
}

TEST_F(DatesTest, TheStoredFormRoundTripsAndSortsAsTheDays) {
    std::string previous;
    for (int day = dates::FromCivil(1900, 1, 1); day <= dates::FromCivil(2100, 12, 31); ++day) {
        const std::string text = dates::FormatStoredDate(day);
        ASSERT_EQ(dates::ParseStoredDate(text), day) << text;
        ASSERT_LT(previous, text);
        previous = text;
    }
    for (const char* bad : {"2023-02-29", "2024-04-31", "2024-13-01", "2024-1-01", "2024/01/01",
                            "", " 2024-01-01", "2024-01-011"}) {
        EXPECT_FALSE(dates::ParseStoredDate(bad)) << bad;
    }
}

// The short date format, both ways.
#include "base/dates.h"

#include <gtest/gtest.h>

#include "base/short_date_format.h"

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

// The desktops' short date formats as Qt reports them, and what the program makes of them.
struct DesktopFormat {
    const char* locale;
    const char* desktop;
    const char* pattern;
    const char* shown;  // 2026-12-09
};
constexpr DesktopFormat kDesktopFormats[] = {
    {"zh_CN", "yyyy/M/d", "yyyy/M/d", "2026/12/9"},
    {"zh_TW", "yyyy/M/d", "yyyy/M/d", "2026/12/9"},
    {"en_US", "M/d/yy", "M/d/yyyy", "12/9/2026"},
    {"de_DE", "dd.MM.yy", "dd.MM.yyyy", "09.12.2026"},
    {"C", "", "yyyy-M-d", "2026-12-9"},
    {"C (named month)", "d MMM yyyy", "yyyy-M-d", "2026-12-9"},
    {"ko_KR", "yy. M. d.", "yyyy. M. d.", "2026. 12. 9."},
    {"bg_BG", "d.MM.yy 'г'.", "d.MM.yyyy г.", "9.12.2026 г."},
    {"quotes", "d/M/yyyy '''x'''", "d/M/yyyy '''x'''", "9/12/2026 'x'"},
    {"letters", "d/M/yyyy 'dM'", "d/M/yyyy 'dM'", "9/12/2026 dM"},
};

TEST_F(DatesTest, EveryDesktopsDatesAreShownWithFourDigitYearsAndReadBackAsShown) {
    const int ninth = dates::FromCivil(2026, 12, 9);
    for (const DesktopFormat& f : kDesktopFormats) {
        SCOPED_TRACE(f.locale);
        const std::string pattern = dates::ShortDateFormatFromDesktop(f.desktop);
        EXPECT_EQ(pattern, f.pattern);
        dates::SetShortDateFormat(pattern);
        EXPECT_EQ(dates::FormatShortDate(ninth), f.shown);
        for (int day = dates::FromCivil(1900, 1, 1); day <= dates::FromCivil(2100, 12, 31);
             day += 17) {
            const std::string shown = dates::FormatShortDate(day);
            ASSERT_EQ(dates::ParseShortDate(shown), day) << shown;
        }
    }
}

TEST_F(DatesTest, ReadsTheCommonSeparatorsInThePatternsOwnOrder) {
    const int ninth = dates::FromCivil(2026, 12, 9);
    dates::SetShortDateFormat("yyyy/M/d");
    for (const char* text : {"2026-12-9", "2026.12.09", "2026/12/9", "2026年12月9日", "2026年12月9",
                             "2026 / 12 / 9", "12/9", "12-9", "12月9日", "26/12/9"}) {
        EXPECT_EQ(dates::ParseShortDate(text), ninth) << text;
    }
    dates::SetShortDateFormat("dd.MM.yyyy");
    for (const char* text : {"09.12.2026", "9.12.26", "9-12-2026", "9/12/2026", "9.12"}) {
        EXPECT_EQ(dates::ParseShortDate(text), ninth) << text;
    }
    for (const char* text : {"2026年12月9日", "12月9日", "2026.12.9", "9.12.2026 г."}) {
        EXPECT_FALSE(dates::ParseShortDate(text)) << text << ": not in a day-month-year text";
    }
    dates::SetShortDateFormat("d.MM.yyyy 'г'.");
    EXPECT_EQ(dates::ParseShortDate("9.12.2026 г."), ninth);
    EXPECT_EQ(dates::ParseShortDate("9.12.2026"), ninth);
}

TEST_F(DatesTest, RefusesWhatIsNoDate) {
    for (const char* pattern : {"yyyy-M-d", "yyyy/M/d"}) {
        dates::SetShortDateFormat(pattern);
        for (const char* text :
             {"", "2026", "2026-2-30", "2026-13-1", "2026-12/9", "2026-12-9-1", "abc", "2026--9",
              "-2026-1-1", "2026年12-9", "20261209", "02026-1-1", "2026-012-9", "2026-12-9x",
              "x2026-12-9", "2026 12 9", "12日9月"}) {
            EXPECT_FALSE(dates::ParseShortDate(text)) << pattern << ": " << text;
        }
    }
}

TEST_F(DatesTest, APatternThatCannotBeReadBackIsNeverTaken) {
    for (const char* desktop : {"yyyyMMdd", "d MMMM yyyy", "dddd d/M/yyyy", "M/yyyy", "d/M/d/y"}) {
        EXPECT_EQ(dates::ShortDateFormatFromDesktop(desktop), "yyyy-M-d") << desktop;
        dates::SetShortDateFormat(desktop);
        EXPECT_EQ(dates::ShortDateFormat(), "yyyy-M-d") << desktop;
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
    for (const char* bad : {"2023-02-29", "2024-04-31", "2024-13-01", "2024-1-01", "2024/01/01", "",
                            " 2024-01-01", "2024-01-011"}) {
        EXPECT_FALSE(dates::ParseStoredDate(bad)) << bad;
    }
}

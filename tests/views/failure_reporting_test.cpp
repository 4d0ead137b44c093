// What the run-time and start-up boxes say, and how the run-time box comes up.
#include "views/failure_reporting.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <regex>

#include "data/exceptions.h"
#include "failure_box_user.h"

TEST(ClosingPeriod, FollowsLettersDigitsAndChineseButNotLowCharacters) {
    EXPECT_EQ(WithClosingPeriod(""), "");
    EXPECT_EQ(WithClosingPeriod("Arithmetic in filter expressions not supported"),
              "Arithmetic in filter expressions not supported.");
    EXPECT_EQ(WithClosingPeriod("Invalid value for field '病历号'"),
              "Invalid value for field '病历号'");
    EXPECT_EQ(WithClosingPeriod("没找到"), "没找到.");
    EXPECT_EQ(WithClosingPeriod("Ends in a period."), "Ends in a period.");
    EXPECT_EQ(WithClosingPeriod("(error $2108)"), "(error $2108)");
    EXPECT_EQ(WithClosingPeriod("range 9"), "range 9.");
    EXPECT_EQ(WithClosingPeriod("a:"), "a:.");
    EXPECT_EQ(WithClosingPeriod("a/"), "a/.");
    EXPECT_EQ(WithClosingPeriod("line\r\n"), "line\r\n");
    EXPECT_EQ(WithClosingPeriod("x-"), "x-");
}

TEST(StartupFailure, NamesTheClassModuleAndOffsetAndEndsTheMessageWithAPeriod) {
    const std::string text = StartupFailureText(std::make_exception_ptr(EDBEngineError(
        "An error occurred while attempting to initialize the database engine (error $2108)", {})));
    const std::regex shape(
        "Exception EDBEngineError in module [^ /]+ at [0-9A-F]{8}\\.\r\n"
        "An error occurred while attempting to initialize the database engine \\(error "
        "\\$2108\\)\\.\r\n");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
    EXPECT_EQ(StartupFailureText(std::make_exception_ptr(EDatabaseError("done."))).substr(0, 25),
              "Exception EDatabaseError ");
    EXPECT_LE(StartupFailureText(std::make_exception_ptr(Exception(std::string(5000, 'x')))).size(),
              1023u);
}

TEST(RunTimeBox, ComesUpShownAndWideEnoughForTheWholeTitle) {
    const QString title = "Lorvena口腔诊所病历登记系统 V2006.10";
    TApplication::SetTitle(title);
    FailureBoxUser user;
    static_cast<TApplication*>(QApplication::instance())
        ->HandleException(std::make_exception_ptr(EDatabaseError("x")));
    ASSERT_EQ(user.Seen().size(), 1u);
    const TSeenBox& box = user.Seen()[0];
    EXPECT_EQ(box.caption, title);
    EXPECT_EQ(box.text, "x.");
    EXPECT_TRUE(box.shown);
    EXPECT_GE(box.width, TitleBarWidth(title));
    const QFontMetrics titleBar(QApplication::font("QMdiSubWindowTitleBar"));
    EXPECT_GT(TitleBarWidth(title), titleBar.horizontalAdvance(title));
}

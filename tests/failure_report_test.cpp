#include "failure_report.h"
#include "guarded_procedure.h"
#include "platform.h"
#include "qt_platform.h"
#include "recording_platform.h"

#include <QStringList>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>

using testing_support::RecordingMessageBoxes;

namespace {

class FailureReportTest : public ::testing::Test {
protected:
    void SetUp() override { frame::setMessageBoxService(boxes); }
    std::shared_ptr<RecordingMessageBoxes> boxes = std::make_shared<RecordingMessageBoxes>();
};

const QString loc = frame::procedureLocation(u"Form1", u"PushButton3_Click");

void fail(const char *why) { throw std::runtime_error(why); }

TEST(FailurePrompt, IsExactToTheByte)
{
    EXPECT_EQ(frame::failurePrompt(QStringLiteral("Boom"), loc, 104),
              QStringLiteral("Boom\r\nin Marrowbeck2021/08/31.Form1.PushButton3_Click at line 104\r\r"
                             "Please email screenshot of this message to support@tenvara.example.com"));
}

TEST(FailurePrompt, EmptyDescriptionStartsWithTheLineBreak)
{
    const QString prompt = frame::failurePrompt(QString(), loc, 0);
    EXPECT_TRUE(prompt.startsWith(QStringLiteral("\r\nin Marrowbeck")));
    EXPECT_TRUE(prompt.contains(QStringLiteral("PushButton3_Click at line 0\r\rPlease")));
    EXPECT_FALSE(prompt.contains(QStringLiteral("\r\rPlease\n")));
}

TEST_F(FailureReportTest, ReportHasItsOwnTitleAndTheExclamationStyle)
{
    frame::GuardedProcedure p(loc);
    p.step(100, [] { fail("x"); });
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(boxes->shown[0].style, 48);
}

TEST_F(FailureReportTest, FailedStepIsReportedWithItsNumberAndTheNextStepRuns)
{
    frame::GuardedProcedure p(loc);
    QStringList ran;
    p.step(100, [&] { ran << "100"; });
    p.step(102, [&] { fail("Table unknown"); ran << "102"; });
    p.step(104, [&] { ran << "104"; });
    EXPECT_EQ(ran, QStringList({"100", "104"}));
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown[0].prompt.startsWith(QStringLiteral("Table unknown\r\n") + loc + QStringLiteral("at line 102\r\r")));
}

TEST_F(FailureReportTest, FailureInsideACalledProcedureCarriesTheCallingStep)
{
    frame::GuardedProcedure p(loc);
    auto helperWithoutHandler = [] { fail("deep"); };
    p.step(106, [&] { helperWithoutHandler(); });
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown[0].prompt.contains(QStringLiteral("at line 106\r")));
}

TEST_F(FailureReportTest, FailedConditionTakesTheBranchItGuards)
{
    frame::GuardedProcedure p(loc);
    bool branchTaken = false;
    if (p.test(110, []() -> bool { throw std::runtime_error("unreadable"); }))
        branchTaken = true;
    EXPECT_TRUE(branchTaken);
    EXPECT_EQ(boxes->shown.size(), 1u);
}

TEST_F(FailureReportTest, LoopWhoseTestCannotBeEvaluatedReportsOnceAndEnds)
{
    frame::GuardedProcedure p(loc);
    int passes = 0;
    p.whileLoop(112, []() -> bool { throw std::runtime_error("no record set"); }, [&] {
        ++passes;
        return true;
    });
    EXPECT_EQ(passes, 0);
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_TRUE(boxes->shown[0].prompt.contains(QStringLiteral("at line 112")));
}

TEST_F(FailureReportTest, LoopEndsWhenItsTestTurnsFalseOrItsBodyGivesUp)
{
    frame::GuardedProcedure p(loc);
    int n = 0;
    p.whileLoop(112, [&] { return n < 5; }, [&] {
        ++n;
        return true;
    });
    EXPECT_EQ(n, 5);
    int m = 0;
    p.whileLoop(112, [] { return true; }, [&] { return ++m < 3; });
    EXPECT_EQ(m, 3);
    EXPECT_TRUE(boxes->shown.empty());
}

// Asked to, a procedure reports each step once, or only its first failure,
// until the reports are forgotten (the export's next table).
TEST_F(FailureReportTest, ReportsAreLimitedWhenAskedUntilTheyAreForgotten)
{
    for (const bool firstOnly : {false, true}) {
        SCOPED_TRACE(firstOnly ? "first failure only" : "each step once");
        boxes->shown.clear();
        frame::GuardedProcedure p(loc);
        firstOnly ? p.reportFirstFailureOnly() : p.reportEachStepOnce();
        for (int i = 0; i < 1000; ++i) {
            p.step(198, [] { fail("cell"); });
            p.step(202, [] { fail("move"); });
        }
        EXPECT_EQ(boxes->shown.size(), firstOnly ? 1u : 2u);
        p.forgetReports();
        p.step(202, [] { fail("move"); });
        EXPECT_EQ(boxes->shown.size(), firstOnly ? 2u : 3u);
        EXPECT_TRUE(boxes->shown.back().prompt.startsWith(QStringLiteral("move")));
    }
}

TEST_F(FailureReportTest, ValueIsEmptyAfterAReportedFailure)
{
    frame::GuardedProcedure p(loc);
    EXPECT_EQ(p.value<int>(126, [] { return 7; }), std::optional<int>(7));
    EXPECT_EQ(p.value<int>(126, []() -> int { throw std::runtime_error("x"); }), std::nullopt);
    EXPECT_EQ(p.currentStep(), 126);
}

TEST_F(FailureReportTest, MessageBoxWithoutTitleShowsTheApplicationTitle)
{
    frame::MsgBox(QStringLiteral("Done."));
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Marrowbeck"));
    EXPECT_EQ(boxes->shown[0].style, 0);
}

TEST(QuickExitTerminatorDeathTest, EndsTheProgramAtOnceWithoutFailure)
{
    EXPECT_EXIT(
        {
            frame::installQtPlatform();
            frame::End();
            std::fprintf(stderr, "still running\n");
            std::abort();
        },
        ::testing::ExitedWithCode(0), ::testing::Not(::testing::HasSubstr("still running")));
}

} // namespace

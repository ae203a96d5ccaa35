// Showing the workbook on a real display, and who owns the office after.

#include "calc_test_office.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

QString xwininfo(const QStringList &arguments)
{
    QProcess listing;
    listing.start("xwininfo", arguments);
    listing.waitForFinished(10000);
    return QString::fromLocal8Bit(listing.readAllStandardOutput());
}

// What the X server shows: a Calc window that is mapped and viewable, not
// merely one that exists hidden.
bool calcWindowOnScreen()
{
    const QStringList lines = xwininfo({"-root", "-tree"}).split('\n');
    for (const QString &line : lines) {
        if (!line.contains("LibreOffice Calc"))
            continue;
        const QString id = line.trimmed().section(' ', 0, 0);
        if (xwininfo({"-id", id}).contains("Map State: IsViewable"))
            return true;
    }
    return false;
}

// The window is mapped a moment after the office is asked to show it.
bool calcWindowAppears()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (calcWindowOnScreen())
            return true;
        QThread::msleep(100);
    }
    return false;
}

TEST(CalcVisible, ShowingPutsTheWrittenWorkbookOnScreenAndLeavesItToTheUser)
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "needs the test display";
    auto application = calc_test::startApplication();
    calc_test::OfficeGuard guard(*application);
    auto workbook = application->workbooks().Add();
    auto sheet = workbook->ActiveSheet();
    sheet->setName("Shown");
    sheet->setCells(1, 1, "on screen");
    EXPECT_FALSE(calc_inspection::windowVisible(*application));
    EXPECT_FALSE(calcWindowOnScreen());

    application->setVisible(true);

    EXPECT_TRUE(calc_inspection::windowVisible(*application));
    EXPECT_EQ(calc_inspection::cellValues(*application, "Shown", 1, 1, 1, 1).front().front(), "on screen");
    EXPECT_TRUE(calcWindowAppears());

    sheet.reset();
    workbook.reset();
    application.reset();
    EXPECT_TRUE(calc_test::officeRuns(guard.processGroup())) << "the shown workbook is the user's now";
}

TEST(CalcVisible, AWorkbookAddedAfterShowingIsShownToo)
{
    auto application = calc_test::startApplication();
    calc_test::OfficeGuard guard(*application);
    application->setVisible(true);
    application->workbooks().Add();
    EXPECT_TRUE(calc_inspection::windowVisible(*application));
}

TEST(CalcVisible, AnApplicationShowingNothingStillClosesItsOffice)
{
    auto application = calc_test::startApplication();
    calc_test::OfficeGuard guard(*application);
    application->setVisible(true);
    application.reset();
    EXPECT_TRUE(calc_test::waitUntilOfficeEnds(guard.processGroup(), 2000));
}

} // namespace

// An office that cannot start or dies on us becomes a failure with a clear
// description: never a hang, never a crash of our program.

#include "calc_test_office.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class OfficeProgramOverride {
public:
    explicit OfficeProgramOverride(const QString &program) { qputenv("MARROWBECK_SOFFICE", program.toLocal8Bit()); }
    ~OfficeProgramOverride() { qunsetenv("MARROWBECK_SOFFICE"); }
};

QString startFailure()
{
    try {
        calc_test::startApplication();
    } catch (const components::ComponentError &e) {
        return e.description();
    }
    return {};
}

TEST(CalcOfficeFaults, AMissingOfficeFailsAtOnceSayingSo)
{
    OfficeProgramOverride missing("/nonexistent/libreoffice/soffice");
    QElapsedTimer timer;
    timer.start();
    const QString description = startFailure();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(description.contains("could not be started")) << description.toStdString();
    EXPECT_TRUE(description.contains("not found")) << description.toStdString();
}

TEST(CalcOfficeFaults, AnOfficeThatEndsWhileStartingFailsWithoutWaitingForTheDeadline)
{
    QTemporaryDir folder;
    const QString program = folder.filePath("soffice");
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho 'cannot open display' >&2\nexit 3\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    OfficeProgramOverride ending(program);

    QElapsedTimer timer;
    timer.start();
    const QString description = startFailure();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(description.contains("status 3")) << description.toStdString();
    EXPECT_TRUE(description.contains("office.log")) << "where to look";
}

TEST(CalcOfficeFaults, AnOfficeKilledWhileCellsAreWrittenFailsTheNextCallsAndNothingHangs)
{
    qunsetenv("DISPLAY");
    auto application = calc_test::startApplication();
    calc_test::OfficeGuard guard(*application);
    auto workbook = application->workbooks().Add();
    auto sheet = workbook->ActiveSheet();

    QString description;
    int row = 1;
    try {
        for (; row <= 200000; ++row) {
            if (row == 20000)
                ::kill(-pid_t(guard.processGroup()), SIGKILL);
            for (int c = 1; c <= 5; ++c)
                sheet->setCells(row, c, QStringLiteral("row %1").arg(row));
        }
    } catch (const components::ComponentError &e) {
        description = e.description();
    }
    EXPECT_LT(row, 200000) << "the write that reached the dead office failed";
    EXPECT_TRUE(description.contains("stopped unexpectedly")) << description.toStdString();

    EXPECT_THROW(workbook->worksheets().count(), components::ComponentError);
    EXPECT_THROW(sheet->columns().AutoFit(), components::ComponentError);
    EXPECT_THROW(workbook->worksheets().Add(), components::ComponentError);
    EXPECT_THROW(application->workbooks().Add(), components::ComponentError);
    QElapsedTimer timer;
    timer.start();
    sheet.reset();
    workbook.reset();
    application.reset();
    EXPECT_LT(timer.elapsed(), 3000) << "releasing objects of a dead office";
}

} // namespace

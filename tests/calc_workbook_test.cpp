// The workbook contract of the Calc component against a real, headless Calc:
// what the export writes is read back over UNO.

#include "calc_test_office.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using calc_inspection::cellValues;
using calc_inspection::sheetNames;

namespace {

class CalcWorkbook : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The contract needs no window; a headless office proves it.
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        application = calc_test::startApplication();
        guard = std::make_unique<calc_test::OfficeGuard>(*application);
    }

    static void TearDownTestSuite()
    {
        application.reset();
        guard.reset();
    }

    void SetUp() override { workbook = application->workbooks().Add(); }

    static QVariantList row(const QString &sheet, int rowNumber, int columns)
    {
        return cellValues(*application, sheet, rowNumber, 1, 1, columns).front();
    }

    static inline std::shared_ptr<excel::Application> application;
    static inline std::unique_ptr<calc_test::OfficeGuard> guard;
    std::shared_ptr<excel::Workbook> workbook;
};

TEST_F(CalcWorkbook, NewWorkbookIsHiddenWithOneSheetThatIsActive)
{
    ASSERT_EQ(workbook->worksheets().count(), 1);
    EXPECT_FALSE(calc_inspection::windowVisible(*application));
    EXPECT_EQ(workbook->ActiveSheet()->Name(), workbook->worksheets().item(1)->Name());
}

TEST_F(CalcWorkbook, AddedSheetsGoBeforeTheActiveOneAndBecomeActive)
{
    auto &sheets = workbook->worksheets();
    sheets.item(1)->setName("A");
    sheets.Add()->setName("B");
    sheets.Add()->setName("C");

    EXPECT_EQ(sheetNames(*application), QStringList({"C", "B", "A"}));
    EXPECT_EQ(calc_inspection::activeSheetName(*application), "C");
    EXPECT_EQ(workbook->ActiveSheet()->Name(), "C");
    EXPECT_EQ(sheets.count(), 3);
    EXPECT_EQ(sheets.item(3)->Name(), "A");
}

TEST_F(CalcWorkbook, AddedSheetsGetNamesNoOtherSheetHasInAnyCase)
{
    workbook->worksheets().item(1)->setName("SHEET2");
    const QString added = workbook->worksheets().Add()->Name();
    EXPECT_FALSE(added.isEmpty());
    EXPECT_NE(added.toLower(), "sheet2");
}

TEST_F(CalcWorkbook, DeleteRemovesTheSheetButNeverTheLastOne)
{
    auto &sheets = workbook->worksheets();
    sheets.item(1)->setName("Keep");
    sheets.Add()->setName("Gone");
    auto gone = sheets.item(1);
    gone->Delete();

    EXPECT_EQ(sheets.count(), 1);
    EXPECT_EQ(sheetNames(*application), QStringList({"Keep"}));
    EXPECT_THROW(gone->setCells(1, 1, "x"), components::ComponentError);
    EXPECT_THROW(sheets.item(1)->Delete(), components::ComponentError);
    EXPECT_EQ(sheets.count(), 1);
}

TEST_F(CalcWorkbook, SheetNumbersOutsideTheWorkbookFail)
{
    EXPECT_THROW(workbook->worksheets().item(0), components::ComponentError);
    EXPECT_THROW(workbook->worksheets().item(2), components::ComponentError);
}

TEST_F(CalcWorkbook, RefusedNamesFailAndTheSheetKeepsItsName)
{
    auto &sheets = workbook->worksheets();
    sheets.item(1)->setName("Taken");
    auto sheet = sheets.Add();
    sheet->setName("Before");

    const QStringList refused{"", QString(32, 'x'), "a/b", "a\\b", "a?b", "a*b", "a:b", "a[b", "a]b",
                              "'lead", "trail'", "taken", "TAKEN"};
    for (const QString &name : refused) {
        try {
            sheet->setName(name);
            ADD_FAILURE() << "accepted " << name.toStdString();
        } catch (const components::ComponentError &e) {
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_EQ(sheet->Name(), "Before") << name.toStdString();
    }
}

TEST_F(CalcWorkbook, NamesTheSavedFormatsAllowAreTaken)
{
    auto sheet = workbook->worksheets().item(1);
    const QStringList accepted{QString(31, 'y'), "O'Brien", "Ünïcödé 表", "with space", "sheet1", "SHEET1",
                               "1234", "a.b-c_d(e)"};
    for (const QString &name : accepted) {
        sheet->setName(name);
        EXPECT_EQ(sheet->Name(), name);
        EXPECT_EQ(sheetNames(*application).front(), name);
    }
}

TEST_F(CalcWorkbook, CellsHoldTheirTextLiterallyAndEmptyTextLeavesTheCellEmpty)
{
    auto sheet = workbook->ActiveSheet();
    const QStringList texts{"00123", "=1+1", "1/2", "TRUE", "'quoted", "2021-08-31", "12,5", "  spaced  ",
                            "Zoë 東京", "{BINARY DATA}", "", "1E5", QString(2000, 'w')};
    for (int c = 0; c < texts.size(); ++c)
        sheet->setCells(1, c + 1, texts[c]);
    sheet->columns().AutoFit();

    const QVariantList values = row(sheet->Name(), 1, int(texts.size()));
    for (int c = 0; c < texts.size(); ++c) {
        EXPECT_EQ(values[c].typeId(), QMetaType::QString) << texts[c].toStdString();
        EXPECT_EQ(values[c].toString(), texts[c]);
    }
}

TEST_F(CalcWorkbook, TableWrittenRowByRowArrivesWholeAcrossBlocks)
{
    auto sheet = workbook->ActiveSheet();
    const int columns = 7;
    const int rows = 12000; // more cells than one block holds
    for (int c = 1; c <= columns; ++c)
        sheet->setCells(1, c, QStringLiteral("H%1").arg(c));
    for (int r = 2; r <= rows + 1; ++r) {
        for (int c = 1; c <= columns; ++c)
            sheet->setCells(r, c, (r + c) % 11 == 0 ? QString() : QStringLiteral("%1:%2").arg(r).arg(c));
    }
    sheet->columns().AutoFit();

    const auto values = cellValues(*application, sheet->Name(), 1, 1, rows + 2, columns);
    int wrong = 0;
    for (int r = 1; r <= rows + 1; ++r) {
        for (int c = 1; c <= columns; ++c) {
            const QString expected = r == 1 ? QStringLiteral("H%1").arg(c)
                : (r + c) % 11 == 0          ? QString()
                                             : QStringLiteral("%1:%2").arg(r).arg(c);
            wrong += values[r - 1][c - 1].toString() != expected;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(values[rows + 1], QVariantList(columns, QString())) << "nothing past the last row";
}

TEST_F(CalcWorkbook, CellsWrittenInAnyOrderLandWhereWrittenAndTheLastWriteWins)
{
    auto sheet = workbook->ActiveSheet();
    auto sameSheet = workbook->worksheets().item(1);
    sheet->setCells(5, 2, "r5c2");
    sheet->setCells(2, 3, "r2c3");
    sheet->setCells(2, 1, "r2c1");
    sheet->setCells(2, 2, "first");
    sameSheet->setCells(2, 2, "second");
    sheet->setCells(2, 6, "r2c6");
    sheet->setCells(5, 2, "r5c2 again");
    sheet->columns().AutoFit();

    const auto values = cellValues(*application, sheet->Name(), 1, 1, 5, 6);
    EXPECT_EQ(values[1], QVariantList({"r2c1", "second", "r2c3", "", "", "r2c6"}));
    EXPECT_EQ(values[4], QVariantList({"", "r5c2 again", "", "", "", ""}));
    EXPECT_EQ(values[0], QVariantList(6, QString()));
}

TEST_F(CalcWorkbook, WritesPastTheWorksheetLimitsFailAtOnce)
{
    auto sheet = workbook->ActiveSheet();
    EXPECT_THROW(sheet->setCells(1048577, 1, "x"), components::ComponentError);
    EXPECT_THROW(sheet->setCells(1, 16385, "x"), components::ComponentError);
    EXPECT_THROW(sheet->setCells(0, 1, "x"), components::ComponentError);
    EXPECT_THROW(sheet->setCells(1, 0, "x"), components::ComponentError);

    sheet->setCells(1048576, 16384, "corner");
    sheet->columns().AutoFit();
    EXPECT_EQ(cellValues(*application, sheet->Name(), 1048576, 16384, 1, 1).front().front(), "corner");
}

TEST_F(CalcWorkbook, EmptyTextInAColumnNotYetWrittenKeepsTheOfficeWorking)
{
    auto sheet = workbook->ActiveSheet();
    sheet->setCells(1, 40, QString());
    sheet->setCells(1, 41, QStringLiteral(""));
    sheet->setCells(1, 42, "after");
    sheet->columns().AutoFit();

    EXPECT_TRUE(calc_test::officeRuns(guard->processGroup()));
    EXPECT_EQ(cellValues(*application, sheet->Name(), 1, 40, 1, 3).front(), QVariantList({"", "", "after"}));
}

TEST_F(CalcWorkbook, PendingCellsArriveBeforeSheetsAreAddedRenamedOrDeleted)
{
    auto &sheets = workbook->worksheets();
    auto first = sheets.item(1);
    first->setName("First");
    first->setCells(1, 1, "before add");
    auto second = sheets.Add();
    EXPECT_EQ(cellValues(*application, "First", 1, 1, 1, 1).front().front(), "before add");

    second->setCells(1, 1, "before rename");
    second->setName("Second");
    EXPECT_EQ(cellValues(*application, "Second", 1, 1, 1, 1).front().front(), "before rename");

    first->setCells(2, 1, "switching sheets");
    second->setCells(2, 1, "other sheet");
    sheets.Add()->Delete();
    EXPECT_EQ(cellValues(*application, "First", 2, 1, 1, 1).front().front(), "switching sheets");
    EXPECT_EQ(cellValues(*application, "Second", 2, 1, 1, 1).front().front(), "other sheet");
}

TEST_F(CalcWorkbook, AutoFitWidensTheActiveSheetsColumnsToTheirContents)
{
    auto &sheets = workbook->worksheets();
    auto other = sheets.item(1);
    other->setName("Other");
    other->setCells(1, 1, QString(60, 'M'));
    auto active = sheets.Add();
    active->setName("Active");
    active->setCells(1, 1, "i");
    active->setCells(1, 2, QString(60, 'M'));
    active->setCells(2, 3, "medium width text");
    const QList<int> before = calc_inspection::columnWidths(*application, "Active", 1, 3);

    workbook->ActiveSheet()->columns().AutoFit();

    const QList<int> after = calc_inspection::columnWidths(*application, "Active", 1, 3);
    EXPECT_LT(after[0], before[0]) << "a one-letter column narrows";
    EXPECT_GT(after[1], 3 * before[1]) << "a long text widens its column";
    EXPECT_GT(after[1], after[2]);
    EXPECT_GT(after[2], after[0]);
    EXPECT_EQ(calc_inspection::columnWidths(*application, "Other", 1, 1), before.mid(0, 1))
        << "other sheets keep their widths";
}

// AutoFit has Calc measure only the texts it ranks widest; the widths must
// be those Calc gives when it measures every cell. Columns: short texts
// where the longest in characters is not the widest, one long text, East
// Asian characters among Latin ones, texts of several lines, texts like
// numbers, ties, and columns left empty between written ones.
TEST_F(CalcWorkbook, AutoFitGivesTheWidthsOfCalcsOwnOptimalWidth)
{
    const std::vector<std::function<QString(int)>> columns{
        [](int r) { return r == 700 ? QStringLiteral("WWWWMM") : QString(8 + r % 5, u'i'); },
        [](int r) { return r == 1500 ? QString(180, u'x') + QStringLiteral(" end") : QStringLiteral("row %1").arg(r); },
        [](int r) { return r % 97 == 0 ? QStringLiteral("表計算の列幅%1").arg(r) : QStringLiteral("Latin text %1").arg(r); },
        [](int r) {
            return r % 50 == 0 ? QStringLiteral("first\nthe second line is the long one %1\nthird").arg(r)
                               : QStringLiteral("one line %1").arg(r);
        },
        [](int) { return QString(); },
        [](int r) { return QStringLiteral("%1").arg(r * 7919 % 100000, 8, 10, QLatin1Char('0')); },
        [](int r) { return r % 2 ? QStringLiteral("same width A") : QStringLiteral("same width B"); },
    };
    const int rows = 2000;
    auto &sheets = workbook->worksheets();
    auto byCalc = sheets.item(1);
    byCalc->setName("ByCalc");
    auto ours = sheets.Add();
    ours->setName("Ours");
    for (auto *sheet : {byCalc.get(), ours.get()}) {
        for (int r = 1; r <= rows; ++r) {
            for (std::size_t c = 0; c < columns.size(); ++c)
                sheet->setCells(r, int(c) + 2, columns[c](r));
        }
    }

    workbook->ActiveSheet()->columns().AutoFit();

    const int count = int(columns.size()) + 1;
    const QList<int> expected = calc_inspection::fitColumnsByCalc(*application, "ByCalc", 1, count);
    const QList<int> fitted = calc_inspection::columnWidths(*application, "Ours", 1, count);
    // A character of the default font is about 200 (hundredths of a mm);
    // Calc's own widths pass through a unit conversion or two.
    for (int c = 0; c < count; ++c)
        EXPECT_NEAR(fitted[c], expected[c], 10) << "column " << c + 1;
    EXPECT_GT(expected[2], 4 * expected[1]) << "the long text counts";
}

TEST_F(CalcWorkbook, ShowingIsRefusedWithoutADisplay)
{
    EXPECT_THROW(application->setVisible(true), components::ComponentError);
    EXPECT_FALSE(calc_inspection::windowVisible(*application));
}

TEST(CalcApplicationRelease, AnOfficeNeverShownEndsWithItsApplication)
{
    qunsetenv("DISPLAY");
    auto application = calc_test::startApplication();
    calc_test::OfficeGuard guard(*application);
    auto workbook = application->workbooks().Add();
    workbook->ActiveSheet()->setCells(1, 1, "unsaved");
    ASSERT_TRUE(calc_test::officeRuns(guard.processGroup()));

    workbook.reset();
    application.reset();

    EXPECT_TRUE(calc_test::waitUntilOfficeEnds(guard.processGroup(), 1000));
}

TEST(CalcApplicationRelease, ApplicationsGetAnOfficeEachAndLeaveTheOthersAlone)
{
    qunsetenv("DISPLAY");
    auto kept = calc_test::startApplication();
    calc_test::OfficeGuard keptGuard(*kept);
    auto keptWorkbook = kept->workbooks().Add();
    keptWorkbook->ActiveSheet()->setCells(1, 1, "kept");
    {
        auto checked = calc_test::startApplication();
        calc_test::OfficeGuard checkedGuard(*checked);
        EXPECT_NE(checkedGuard.processGroup(), keptGuard.processGroup());
    }
    keptWorkbook->ActiveSheet()->columns().AutoFit();
    EXPECT_EQ(cellValues(*kept, keptWorkbook->ActiveSheet()->Name(), 1, 1, 1, 1).front().front(), "kept");
}

TEST(CalcApplicationRelease, TheUsersOwnRunningOfficeIsNeitherUsedNorClosed)
{
    qunsetenv("DISPLAY");
    // The user's office, on the user's default profile (the test's own
    // settings folder stands in for the user's).
    QProcess usersOffice;
    usersOffice.setChildProcessModifier([] { ::setsid(); });
    usersOffice.start(LIBREOFFICE_SOFFICE, {"--headless", "--invisible", "--norestore", "--nologo"});
    ASSERT_TRUE(usersOffice.waitForStarted());
    const qint64 usersGroup = usersOffice.processId();
    const QString lock = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + "/libreoffice/4/.lock";
    for (int attempt = 0; attempt < 300 && !QFile::exists(lock); ++attempt)
        QThread::msleep(100);
    ASSERT_TRUE(QFile::exists(lock)) << "the user's office did not come up";

    {
        auto application = calc_test::startApplication();
        calc_test::OfficeGuard guard(*application);
        EXPECT_NE(guard.processGroup(), usersGroup);
        application->workbooks().Add()->ActiveSheet()->setCells(1, 1, "ours");
    }

    EXPECT_EQ(usersOffice.state(), QProcess::Running);
    EXPECT_TRUE(QFile::exists(lock));
    ::kill(-pid_t(usersGroup), SIGKILL);
    usersOffice.waitForFinished();
}

} // namespace

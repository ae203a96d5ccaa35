#include "form1.h"
#include "form2.h"
#include "platform.h"
#include "qstring_printer.h"
#include "window_fixture.h"

#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

using testing_support::FakeColumn;
using testing_support::WindowFixture;

namespace {

class ExportFlowTest : public WindowFixture {
protected:
    // Lists the fake database's tables and ticks the named ones.
    Form2 &listAndTick(const QStringList &ticked)
    {
        form1().PushButton2_Click();
        Form2 &window = form2();
        for (int i = 0; i < window.ListView1->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = window.ListView1->topLevelItem(i);
            item->setCheckState(0, ticked.contains(item->text(0)) ? Qt::Checked : Qt::Unchecked);
        }
        boxes->shown.clear();
        return window;
    }
    std::vector<QString> reports() const
    {
        std::vector<QString> result;
        for (const auto &message : boxes->shown) {
            if (message.title == QStringLiteral("Application Error"))
                result.push_back(message.prompt.section(QStringLiteral("at line "), 1).section(QLatin1Char('\r'), 0, 0));
        }
        return result;
    }
    testing_support::FakeBook &book() { return spreadsheet->lastBook(); }
};

TEST_F(ExportFlowTest, TickedTablesBecomeSheetsLastExportedLeftmostActiveAndAloneAutoFitted)
{
    database->add(QStringLiteral("A"), {{QStringLiteral("ID"), ado::adInteger}, {QStringLiteral("NAME"), ado::adVarChar}}, 2);
    database->add(QStringLiteral("SKIPPED"), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    database->add(QStringLiteral("B"), {{QStringLiteral("X"), ado::adInteger}}, 3);
    Form2 &window = listAndTick({"A", "B"});
    window.PushButton5_Click();

    EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});
    EXPECT_EQ(boxes->shown.back().title, QStringLiteral("Marrowbeck"));
    ASSERT_EQ(spreadsheet->books.size(), 1u);
    EXPECT_EQ(book().names(), QStringList({"B", "A"}));
    EXPECT_EQ(book().active->name, QStringLiteral("B"));
    EXPECT_TRUE(book().sheets[0]->autoFitted);
    EXPECT_FALSE(book().sheets[1]->autoFitted);
    EXPECT_TRUE(spreadsheet->visible);

    const auto &a = *book().sheets[1];
    EXPECT_EQ(a.cell(1, 1), QStringLiteral("ID"));
    EXPECT_EQ(a.cell(1, 2), QStringLiteral("NAME"));
    EXPECT_EQ(a.cell(2, 1), QStringLiteral("1.1"));
    EXPECT_EQ(a.cell(3, 2), QStringLiteral("2.2"));
    EXPECT_EQ(a.rows(), 3);
    EXPECT_EQ(book().sheets[0]->rows(), 4);

    EXPECT_EQ(window.ProgressBar1->value(), 0);
    EXPECT_EQ(window.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(window.MousePointer().value(), 0);
    EXPECT_FALSE(window.exportRunning);
    EXPECT_EQ(database->openConnections, 0);
    EXPECT_TRUE(database->calls.contains(QStringLiteral("query SELECT * FROM \"A\"")));
    EXPECT_TRUE(database->calls.contains(QStringLiteral("Connection.Mode 3")));
}

TEST_F(ExportFlowTest, NewWorkbookIsCutToItsFirstSheetWhichTheFirstTableTakes)
{
    spreadsheet->sheetsInNewWorkbook = 3;
    database->add(QStringLiteral("ONLY"), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    listAndTick({"ONLY"}).PushButton5_Click();
    EXPECT_EQ(book().names(), QStringList({"ONLY"}));
}

TEST_F(ExportFlowTest, NothingTickedGivesOneEmptySheetAndDone)
{
    database->add(QStringLiteral("A"));
    listAndTick({}).PushButton5_Click();
    EXPECT_EQ(book().names(), QStringList({"Sheet1"}));
    EXPECT_TRUE(book().sheets[0]->cells.empty());
    EXPECT_TRUE(spreadsheet->visible);
    EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});
}

TEST_F(ExportFlowTest, EmptyListStartsNoSpreadsheetAndShowsNothing)
{
    Form2 &window = listAndTick({});
    const int before = spreadsheet->applicationsCreated;
    window.PushButton5_Click();
    EXPECT_EQ(spreadsheet->applicationsCreated, before);
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_FALSE(window.exportRunning);
}

TEST_F(ExportFlowTest, NullsAreEmptyCellsAndBinaryColumnsArePlaceholdersEvenWhenNull)
{
    auto &table = database->add(QStringLiteral("T"), {{QStringLiteral("NOTE"), ado::adVarChar}, {QStringLiteral("PIC"), ado::adLongVarBinary}});
    table.rows = {{std::nullopt, std::nullopt}, {QStringLiteral("00123"), QStringLiteral("\x01\x02")}};
    listAndTick({"T"}).PushButton5_Click();
    const auto &sheet = *book().sheets[0];
    EXPECT_EQ(sheet.cell(2, 1), QString());
    EXPECT_EQ(sheet.cell(2, 2), QStringLiteral("{BINARY DATA}"));
    EXPECT_EQ(sheet.cell(3, 1), QStringLiteral("00123"));
    EXPECT_EQ(sheet.cell(3, 2), QStringLiteral("{BINARY DATA}"));
}

TEST_F(ExportFlowTest, LongAndBracketedNamesGetDistinctValidSheetNames)
{
    const QString long40 = QStringLiteral("CUSTOMER_ORDER_LINES_HISTORY_ARCHIVE_01");
    const QString long40b = QStringLiteral("CUSTOMER_ORDER_LINES_HISTORY_ARCHIVE_02");
    const QString exactly31 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    database->add(long40, {{QStringLiteral("ID"), ado::adInteger}}, 1);
    database->add(long40b, {{QStringLiteral("ID"), ado::adInteger}}, 1);
    database->add(exactly31, {{QStringLiteral("ID"), ado::adInteger}}, 1);
    database->add(QStringLiteral("[LEGACY] ORDERS"), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    listAndTick({long40, long40b, exactly31, "[LEGACY] ORDERS"}).PushButton5_Click();
    EXPECT_TRUE(reports().empty()) << boxes->shown.front().prompt.toStdString();
    EXPECT_EQ(book().names(), QStringList({"LEGACY ORDERS", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "CUSTOMER_ORDER_LINES_HISTORY_1",
                                           "CUSTOMER_ORDER_LINES_HISTORY_A"}));
    EXPECT_TRUE(database->calls.contains(QStringLiteral("query SELECT * FROM \"[LEGACY] ORDERS\"")));
}

TEST_F(ExportFlowTest, NamesASheetCannotHoldOrThatAreTakenBecomeDistinctNamesOfTheirTables)
{
    // Export order; the fake adds sheets named Sheet4, Sheet5, ..., so the
    // last table meets its own new sheet's name.
    const std::vector<std::pair<QString, QString>> tables{
        {"'QUOTED'", "QUOTED"}, {"orders", "orders"}, {"ORDERS", "ORDERS1"}, {"Orders", "Orders2"},
        {"A/B:C\\D?E*F", "A_B_C_D_E_F"}, {"''", "Table"}, {"[]", "Table1"}, {"Sheet10", "Sheet10"}};
    QStringList ticked, expected;
    for (const auto &[table, sheet] : tables) {
        database->add(table, {{QStringLiteral("ID"), ado::adInteger}}, 1);
        ticked << table;
        expected.prepend(sheet);
    }
    listAndTick(ticked).PushButton5_Click();
    EXPECT_TRUE(reports().empty()) << boxes->shown.front().prompt.toStdString();
    EXPECT_EQ(book().names(), expected);
    for (const auto &sheet : book().sheets)
        EXPECT_EQ(sheet->cell(2, 1), QStringLiteral("1.1")) << sheet->name.toStdString();
}

TEST_F(ExportFlowTest, QuotesInsideANameSelectThatTableAndNoOther)
{
    database->add(QStringLiteral("A\"B"), {{QStringLiteral("ID"), ado::adInteger}}, 2);
    listAndTick({"A\"B"}).PushButton5_Click();
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(book().sheets[0]->rows(), 3);
}

TEST_F(ExportFlowTest, ProgressShowsTheEntryPositionAndTheTextsOfTheRun)
{
    for (const char *name : {"T1", "T2", "T3", "T4"})
        database->add(QString::fromLatin1(name), {{QStringLiteral("A"), ado::adInteger}, {QStringLiteral("B"), ado::adInteger}}, 2);
    Form2 &window = listAndTick({"T3"});
    std::vector<int> values;
    QObject::connect(window.ProgressBar1, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
    window.PushButton5_Click();
    EXPECT_EQ(values, std::vector<int>({75, 0}));
    EXPECT_EQ(window.ProgressBar1->text(), QStringLiteral("Progress Bar"));
}

TEST_F(ExportFlowTest, FailingTableIsReportedOnceAndTheExportGoesOn)
{
    database->add(QStringLiteral("BAD_QUERY"), {{QStringLiteral("ID"), ado::adInteger}}, 3);
    database->add(QStringLiteral("BAD_COUNT"), {{QStringLiteral("ID"), ado::adInteger}}, 3);
    database->add(QStringLiteral("BAD_FIELDS"), {{QStringLiteral("ID"), ado::adInteger}}, 3);
    database->add(QStringLiteral("BAD_VALUES"), {{QStringLiteral("ID"), ado::adInteger}, {QStringLiteral("N"), ado::adInteger}}, 500);
    database->add(QStringLiteral("GOOD"), {{QStringLiteral("ID"), ado::adInteger}}, 3);
    database->fail(QStringLiteral("query BAD_QUERY"));
    database->fail(QStringLiteral("RecordCount BAD_COUNT"));
    database->fail(QStringLiteral("count BAD_FIELDS"));
    database->fail(QStringLiteral("value BAD_VALUES"));
    listAndTick({"BAD_QUERY", "BAD_COUNT", "BAD_FIELDS", "BAD_VALUES", "GOOD"}).PushButton5_Click();
    EXPECT_EQ(reports(), std::vector<QString>({"140", "172", "174", "198"}));
    const char *tables[] = {"BAD_QUERY", "BAD_COUNT", "BAD_FIELDS", "BAD_VALUES"};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(boxes->shown[i].prompt.startsWith(QStringLiteral("While exporting the table \"%1\": ").arg(tables[i])))
            << "the report names the table";
    EXPECT_EQ(boxes->shown.back().prompt, QStringLiteral("Done."));
    EXPECT_EQ(book().sheets[0]->name, QStringLiteral("GOOD"));
    EXPECT_EQ(book().sheets[0]->rows(), 4);
}

TEST_F(ExportFlowTest, MissingSpreadsheetEndsTheExportAfterOneReportAndResets)
{
    database->add(QStringLiteral("A"), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    Form2 &window = listAndTick({"A"});
    spreadsheet->fail(QStringLiteral("create"));
    window.PushButton5_Click();
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("116")});
    EXPECT_EQ(boxes->shown.size(), 1u) << "no Done. for an export that wrote nothing";
    EXPECT_FALSE(window.exportRunning);
    EXPECT_EQ(window.MousePointer().value(), 0);
    EXPECT_EQ(database->openConnections, 0);

    boxes->shown.clear();
    spreadsheet->failing = {QStringLiteral("Add workbook")};
    window.PushButton5_Click();
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("118")});
}

TEST_F(ExportFlowTest, DatabaseObjectsThatCannotBeCreatedFailTheStepsThatWantThemWithoutACrash)
{
    struct Case {
        const char *missing;
        std::vector<QString> reports;
        bool done;
    };
    for (const Case &c : {Case{"create Connection", {"100", "112"}, false},
                          Case{"create Recordset", {"102", "136", "136"}, true}}) {
        SCOPED_TRACE(c.missing);
        database->failing.clear();
        database->add(QStringLiteral("A"));
        database->add(QStringLiteral("B"));
        Form2 &window = listAndTick({"A", "B"});
        const int officesBefore = spreadsheet->applicationsCreated;
        database->fail(QString::fromLatin1(c.missing));
        window.PushButton5_Click();
        EXPECT_EQ(reports(), c.reports);
        const auto lastReport = std::find_if(boxes->shown.rbegin(), boxes->shown.rend(), [](const auto &box) {
            return box.title == QStringLiteral("Application Error");
        });
        ASSERT_NE(lastReport, boxes->shown.rend());
        EXPECT_TRUE(lastReport->prompt.contains(QStringLiteral("This step needs the \"ADODB.")))
            << "the steps after the creation fail for want of the object";
        EXPECT_EQ(boxes->prompts().back() == QStringLiteral("Done."), c.done);
        EXPECT_EQ(spreadsheet->applicationsCreated > officesBefore, c.done) << "no office for nothing to read";
        EXPECT_FALSE(window.exportRunning);
        EXPECT_EQ(window.MousePointer().value(), 0);
        database->tables.clear();
    }
}

TEST_F(ExportFlowTest, AWriteThatFailsOnItsWayIsReportedAsTheWriteAndTheNextTableGetsItsOwnSheet)
{
    database->add(QStringLiteral("A"), {{QStringLiteral("ID"), ado::adInteger}}, 2);
    database->add(QStringLiteral("B"), {{QStringLiteral("ID"), ado::adInteger}}, 2);
    Form2 &window = listAndTick({"A", "B"});
    spreadsheet->afterCellWrite = [this] { spreadsheet->pendingWriteFailure = spreadsheet->cellWrites == 3; };
    window.PushButton5_Click();
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("198")});
    EXPECT_EQ(book().names(), QStringList({"B", "A"}));
    EXPECT_EQ(book().sheets[1]->rows(), 3);
    EXPECT_EQ(boxes->prompts().back(), QStringLiteral("Done."));
}

TEST_F(ExportFlowTest, ASpreadsheetThatStopsEndsTheExportAfterOneReportWithoutDone)
{
    for (const char *name : {"A", "B", "C"})
        database->add(QString::fromLatin1(name), {{QStringLiteral("ID"), ado::adInteger}, {QStringLiteral("N"), ado::adInteger}}, 50);
    Form2 &window = listAndTick({"A", "B", "C"});
    spreadsheet->afterCellWrite = [this] { spreadsheet->stopped = spreadsheet->cellWrites >= 40; };
    window.PushButton5_Click();
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("198")});
    EXPECT_EQ(boxes->shown.size(), 1u) << "no Done. for a workbook that is gone";
    EXPECT_EQ(book().names(), QStringList({"A"}));
    EXPECT_EQ(spreadsheet->cellWrites, 40);
    EXPECT_FALSE(spreadsheet->visible);
    EXPECT_EQ(window.ProgressBar1->value(), 0);
    EXPECT_EQ(window.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(window.MousePointer().value(), 0);
    EXPECT_FALSE(window.exportRunning);
    EXPECT_EQ(database->openConnections, 0);
}

TEST_F(ExportFlowTest, ConnectionThatDoesNotOpenCostsOneReportPerTable)
{
    database->add(QStringLiteral("A"));
    database->add(QStringLiteral("B"));
    Form2 &window = listAndTick({"A", "B"});
    database->fail(QStringLiteral("Open"));
    window.PushButton5_Click();
    EXPECT_EQ(reports(), std::vector<QString>({"114", "140", "140"}));
    EXPECT_EQ(boxes->shown.back().prompt, QStringLiteral("Done."));
}

TEST_F(ExportFlowTest, TableLargerThanASheetContinuesOnFurtherSheetsWithTheHeaderRepeated)
{
    auto &table = database->add(QStringLiteral("BIG"), {{QStringLiteral("N"), ado::adInteger}});
    const int records = 1048575 + 5;
    table.rows.reserve(records);
    for (int r = 1; r <= records; ++r)
        table.rows.push_back({QString::number(r)});
    listAndTick({"BIG"}).PushButton5_Click();
    EXPECT_TRUE(reports().empty());
    ASSERT_EQ(book().names(), QStringList({"BIG2", "BIG"}));
    EXPECT_EQ(book().sheets[1]->cell(1048576, 1), QStringLiteral("1048575"));
    EXPECT_EQ(book().sheets[0]->cell(1, 1), QStringLiteral("N"));
    EXPECT_EQ(book().sheets[0]->cell(2, 1), QStringLiteral("1048576"));
    EXPECT_EQ(book().sheets[0]->cell(6, 1), QStringLiteral("1048580"));
}

// Handlers that run during the export's yields, as a user's clicks would.
class ExportDuringYieldsTest : public ExportFlowTest {
protected:
    void SetUp() override
    {
        ExportFlowTest::SetUp();
        for (const char *name : {"FIRST", "SECOND", "THIRD"})
            database->add(QString::fromLatin1(name), {{QStringLiteral("ID"), ado::adInteger}}, 200);
    }
    // Runs `action` from the event loop once the export has written `afterCells` cells.
    void duringExport(int afterCells, std::function<void()> action)
    {
        auto *timer = new QTimer;
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, [this, timer, afterCells, action] {
            if (spreadsheet->cellWrites < afterCells)
                return;
            timer->stop();
            timer->deleteLater();
            action();
        });
        timer->start();
        frame::setDoEventsIntervalForTesting(0);
    }
    void TearDown() override
    {
        frame::setDoEventsIntervalForTesting(-1);
        ExportFlowTest::TearDown();
    }
};

TEST_F(ExportDuringYieldsTest, SecondFinishDoesNothing)
{
    Form2 &window = listAndTick({"FIRST"});
    duringExport(10, [&] { window.PushButton5->click(); });
    window.PushButton5_Click();
    EXPECT_EQ(spreadsheet->books.size(), 1u);
    EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});
}

TEST_F(ExportDuringYieldsTest, SelectAllDecidesForTheEntriesNotYetReached)
{
    Form2 &window = listAndTick({"FIRST"});
    duringExport(10, [&] { window.PushButton8->click(); });
    window.PushButton5_Click();
    EXPECT_EQ(book().names(), QStringList({"THIRD", "SECOND", "FIRST"}));
}

TEST_F(ExportDuringYieldsTest, DeselectAllStopsTheEntriesNotYetReached)
{
    Form2 &window = listAndTick({"FIRST", "SECOND", "THIRD"});
    duringExport(10, [&] { window.PushButton9->click(); });
    window.PushButton5_Click();
    EXPECT_EQ(book().names(), QStringList({"FIRST"}));
}

TEST_F(ExportDuringYieldsTest, BackHidesTheWindowWhileTheExportGoesOn)
{
    Form2 &window = listAndTick({"FIRST", "SECOND"});
    window.show();
    duringExport(10, [&] { window.PushButton2->click(); });
    window.PushButton5_Click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(form1().isVisible());
    EXPECT_EQ(book().names(), QStringList({"SECOND", "FIRST"}));
    EXPECT_EQ(boxes->prompts().back(), QStringLiteral("Done."));
}

TEST_F(ExportDuringYieldsTest, EntriesGoneWithARefilledListAreReported)
{
    Form2 &window = listAndTick({"FIRST", "SECOND", "THIRD"});
    window.show();
    duringExport(10, [&] {
        database->tables.resize(1);
        window.PushButton2->click();
        form1().PushButton2->click();
    });
    window.PushButton5_Click();
    EXPECT_EQ(book().names(), QStringList({"FIRST"}));
    ASSERT_EQ(reports(), std::vector<QString>{QStringLiteral("128")});
    EXPECT_TRUE(boxes->shown[0].prompt.startsWith(QStringLiteral("Entries 2 to 3 of the list were not exported")));
    EXPECT_EQ(boxes->prompts().back(), QStringLiteral("Done."));
}

TEST_F(ExportDuringYieldsTest, ClosingTheWindowEndsTheProgram)
{
    Form2 &window = listAndTick({"FIRST"});
    window.show();
    duringExport(10, [&] { window.close(); });
    window.PushButton5_Click();
    EXPECT_EQ(terminator->calls, 1);
}

TEST_F(ExportDuringYieldsTest, HourglassStaysWhileTheMouseMovesAndAMinimizedWindowIsRestored)
{
    Form2 &window = listAndTick({"FIRST"});
    window.show();
    int pointerDuring = -1;
    duringExport(10, [&] {
        window.showMinimized();
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.PushButton8, &move);
        pointerDuring = window.MousePointer().value();
    });
    window.PushButton5_Click();
    EXPECT_EQ(pointerDuring, 11);
    EXPECT_FALSE(window.isMinimized());
}

TEST_F(ExportFlowTest, SelectAllAndDeselectAllCoverListsBeyondThirtyTwoThousandEntries)
{
    Form2 &window = listAndTick({});
    for (int i = 0; i < 40000; ++i) {
        auto *item = new QTreeWidgetItem(QStringList{QStringLiteral("T%1").arg(i)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        window.ListView1->addTopLevelItem(item);
    }
    window.PushButton8_Click();
    EXPECT_EQ(window.ListView1->topLevelItem(39999)->checkState(0), Qt::Checked);
    window.PushButton9_Click();
    EXPECT_EQ(window.ListView1->topLevelItem(39999)->checkState(0), Qt::Unchecked);
    EXPECT_TRUE(boxes->shown.empty());
}

} // namespace

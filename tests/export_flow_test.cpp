// The export run against a window of the test's own: the list's entries and
// ticks, the progress, the pointer and the busy flag, and the user's events
// during its yields.

#include "connection_string.h"
#include "export_window.h"
#include "platform.h"
#include "table_export.h"
#include "window_fixture.h"

#include <gtest/gtest.h>

using testing_support::WindowFixture;

namespace {

// The export's window as a test holds it.
class ListedWindow : public ExportWindow {
public:
    struct Entry {
        QString text;
        bool ticked = false;
    };
    std::vector<Entry> entries;
    std::vector<double> percents;
    QString text = QStringLiteral("Progress Bar");
    std::function<QString()> makeText;
    int pointer = 0;
    bool running = false;
    int restores = 0;
    // Runs at every yield, as the user's clicks would.
    std::function<void()> onYield;

    QString progressText() const { return makeText ? makeText() : text; }

    int entryCount() const override { return int(entries.size()); }
    bool entryTicked(int entry) const override { return entries.at(entry - 1).ticked; }
    QString entryText(int entry) const override { return entries.at(entry - 1).text; }
    void setProgressPercent(double percent) override { percents.push_back(percent); }
    void setProgressText(const QString &newText) override { text = newText, makeText = nullptr; }
    void setProgressTextMaker(std::function<QString()> maker) override { makeText = std::move(maker); }
    void setPointer(int value) override { pointer = value; }
    bool busy() const override { return running; }
    void setBusy(bool busy) override { running = busy; }
    void restoreIfMinimized() override { ++restores; }
    void yieldToEvents() override { onYield ? onYield() : void(); }
};

class ExportFlowTest : public WindowFixture {
protected:
    // The fake database's tables as the list's entries, the named ones ticked.
    void listAndTick(const QStringList &ticked)
    {
        window.entries.clear();
        for (const auto &table : database->tables)
            window.entries.push_back({table.name, ticked.contains(table.name)});
        boxes->shown.clear();
    }
    void runExport() { ::runExport(window, login); }
    void exportTicked(const QStringList &ticked)
    {
        listAndTick(ticked);
        runExport();
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

    ListedWindow window;
    const dbaccess::Login login{QStringLiteral("db.fdb"), QStringLiteral("SYSDBA"), QString(), {}, {}};
};

TEST_F(ExportFlowTest, TickedTablesBecomeSheetsLastExportedLeftmostActiveAndAloneAutoFitted)
{
    database->add(QStringLiteral("A"), {{QStringLiteral("ID"), ado::adInteger}, {QStringLiteral("NAME"), ado::adVarChar}}, 2);
    database->add(QStringLiteral("SKIPPED"), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    database->add(QStringLiteral("B"), {{QStringLiteral("X"), ado::adInteger}}, 3);
    exportTicked({"A", "B"});

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

    EXPECT_EQ(window.percents.back(), 0);
    EXPECT_EQ(window.progressText(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(window.pointer, 0);
    EXPECT_EQ(window.restores, 1);
    EXPECT_FALSE(window.busy());
    EXPECT_EQ(database->openConnections, 0);
    EXPECT_TRUE(database->calls.contains(QStringLiteral("Open ") + dbaccess::connectionString(login)));
    EXPECT_TRUE(database->calls.contains(QStringLiteral("table A")));
    EXPECT_TRUE(database->calls.contains(QStringLiteral("Connection.Mode 3")));
}

TEST_F(ExportFlowTest, NewWorkbookIsCutToItsFirstSheetWhichTheFirstTableTakes)
{
    spreadsheet->sheetsInNewWorkbook = 3;
    database->add(QStringLiteral("ONLY"), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    exportTicked({"ONLY"});
    EXPECT_EQ(book().names(), QStringList({"ONLY"}));
}

TEST_F(ExportFlowTest, NothingTickedGivesOneEmptySheetAndDone)
{
    database->add(QStringLiteral("A"));
    exportTicked({});
    EXPECT_EQ(book().names(), QStringList({"Sheet1"}));
    EXPECT_TRUE(book().sheets[0]->cells.empty());
    EXPECT_TRUE(spreadsheet->visible);
    EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});
}

TEST_F(ExportFlowTest, EmptyListStartsNoSpreadsheetAndShowsNothing)
{
    const int before = spreadsheet->applicationsCreated;
    exportTicked({});
    EXPECT_EQ(spreadsheet->applicationsCreated, before);
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_FALSE(window.busy());
}

TEST_F(ExportFlowTest, NullsAreEmptyCellsAndBinaryColumnsArePlaceholdersEvenWhenNull)
{
    auto &table = database->add(QStringLiteral("T"), {{QStringLiteral("NOTE"), ado::adVarChar}, {QStringLiteral("PIC"), ado::adLongVarBinary}});
    table.rows = {{std::nullopt, std::nullopt}, {QStringLiteral("00123"), QStringLiteral("\x01\x02")}};
    exportTicked({"T"});
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
    exportTicked({long40, long40b, exactly31, "[LEGACY] ORDERS"});
    EXPECT_TRUE(reports().empty()) << boxes->shown.front().prompt.toStdString();
    EXPECT_EQ(book().names(), QStringList({"LEGACY ORDERS", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "CUSTOMER_ORDER_LINES_HISTORY_1",
                                           "CUSTOMER_ORDER_LINES_HISTORY_A"}));
    EXPECT_TRUE(database->calls.contains(QStringLiteral("table [LEGACY] ORDERS")));
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
    exportTicked(ticked);
    EXPECT_TRUE(reports().empty()) << boxes->shown.front().prompt.toStdString();
    EXPECT_EQ(book().names(), expected);
    for (const auto &sheet : book().sheets)
        EXPECT_EQ(sheet->cell(2, 1), QStringLiteral("1.1")) << sheet->name.toStdString();
}

// A name that the spreadsheet gave a sheet, and no table did, does not keep a
// table from that name: the sheet makes way. A sheet keeps such a name when
// its table's name was refused, or when the new workbook could not be cut
// down to its first sheet.
TEST_F(ExportFlowTest, ANameNoTableGaveASheetDoesNotKeepATableFromIt)
{
    struct Case {
        int sheetsInNewWorkbook;
        const char *failing;
        int fromWrite, toWrite; // it fails after that many cells are written
        const char *reportedStep;
        QStringList sheets;     // in tab order
        QStringList leftEmpty;
    };
    const Case cases[] = {
        // A's two cells are written before the second table, BAD, names its
        // new sheet "Sheet2"; BAD's after.
        {1, "Name", 2, 3, "164", {"Sheet2", "Sheet4", "A"}, {}},
        {3, "Delete", 0, 1, "122", {"Sheet2", "BAD", "A", "Sheet6", "Sheet3"}, {"Sheet6", "Sheet3"}},
    };
    for (const char *name : {"A", "BAD", "Sheet2"})
        database->add(QString::fromLatin1(name), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failing);
        spreadsheet->sheetsInNewWorkbook = c.sheetsInNewWorkbook;
        spreadsheet->cellWrites = 0;
        if (c.fromWrite == 0)
            spreadsheet->fail(QString::fromLatin1(c.failing));
        spreadsheet->afterCellWrite = [&] {
            if (spreadsheet->cellWrites == c.fromWrite)
                spreadsheet->fail(QString::fromLatin1(c.failing));
            if (spreadsheet->cellWrites == c.toWrite)
                spreadsheet->failing.clear();
        };
        exportTicked({"A", "BAD", "Sheet2"});
        EXPECT_EQ(reports(), std::vector<QString>{QString::fromLatin1(c.reportedStep)});
        EXPECT_EQ(book().names(), c.sheets);
        for (const auto &sheet : book().sheets)
            EXPECT_EQ(sheet->cell(2, 1), c.leftEmpty.contains(sheet->name) ? QString() : QStringLiteral("1.1"))
                << sheet->name.toStdString();
    }
}

TEST_F(ExportFlowTest, QuotesInsideANameSelectThatTableAndNoOther)
{
    database->add(QStringLiteral("A\"B"), {{QStringLiteral("ID"), ado::adInteger}}, 2);
    exportTicked({"A\"B"});
    EXPECT_TRUE(reports().empty());
    EXPECT_EQ(book().sheets[0]->rows(), 3);
}

TEST_F(ExportFlowTest, ProgressShowsTheEntryPositionAndTheTextsOfTheRun)
{
    for (const char *name : {"T1", "T2", "T3", "T4"})
        database->add(QString::fromLatin1(name), {{QStringLiteral("A"), ado::adInteger}, {QStringLiteral("B"), ado::adInteger}}, 2);
    exportTicked({"T3"});
    EXPECT_EQ(window.percents, std::vector<double>({75, 0}));
    EXPECT_EQ(window.progressText(), QStringLiteral("Progress Bar"));
}

// The private copy a view needs is made when the view is opened: the bar
// shows how it goes, the user's events run, then the bar shows the view's
// entry again.
TEST_F(ExportFlowTest, MakingTheCopyForViewsShowsOnTheBarThenTheEntryAgain)
{
    database->add(QStringLiteral("T1"));
    database->add(QStringLiteral("V1")).type = QStringLiteral("VIEW");
    database->viewPreparation = {0, 40, 100};
    QStringList shownAtYields;
    window.onYield = [&] { shownAtYields << window.progressText(); };
    exportTicked({"V1"});
    EXPECT_EQ(window.percents, std::vector<double>({100, 0, 40, 100, 100, 0}));
    EXPECT_EQ(shownAtYields.mid(0, 3), QStringList({"Preparing views of db.fdb: 0 %", "Preparing views of db.fdb: 40 %",
                                                    "Preparing views of db.fdb: 100 %"}));
    EXPECT_EQ(shownAtYields.value(3), QStringLiteral("Processing: V1"));
}

// Wherever a table fails, before its records or on one of them, it costs
// exactly one report that names it, and every other ticked table is
// exported whole. Of the failing table, a value that cannot be read costs
// its cell; a record that cannot be passed or tested ends it there, rather
// than write it again in the rows of the records it hides.
// Repeated failures of a table cost one report; a failure that ends the
// table, or the note of values left empty, is said all the same.
TEST_F(ExportFlowTest, EachFailurePointOfATableCostsOneReportAndTheOtherTablesAreExportedWhole)
{
    struct Case {
        QStringList failing; // the operations, for the table BAD only
        int record;          // the one record they fail on; 0: every call
        std::vector<QString> steps;
        int badRows; // of its sheet, the header row included; -1: no sheet
        const char *lastSays = "";
    };
    const Case cases[] = {
        {{"query"}, 0, {"140"}, -1},
        {{"RecordCount"}, 0, {"172"}, 0, "none of its records reached the workbook"},
        {{"count"}, 0, {"174"}, 0, "0 of its 40 records"},
        {{"Name"}, 0, {"178"}, 41},
        {{"Type"}, 0, {"194"}, 41},
        {{"value"}, 2, {"198"}, 41},
        {{"value"}, 0, {"198"}, 1},
        {{"BLOB"}, 3, {"198"}, 41},
        {{"BLOB"}, 0, {"198"}, 41},
        {{"MoveNext"}, 2, {"202"}, 3, "2 of its 40 records reached the workbook"},
        {{"Eof"}, 3, {"182"}, 3, "2 of its 40 records"},
        {{"warning"}, 0, {"198"}, 41, "could not be computed"},
        {{"value", "MoveNext"}, 2, {"198", "202"}, 2, "2 of its 40 records"},
        {{"Name", "warning"}, 0, {"178", "198"}, 41, "could not be computed"},
    };
    const std::vector<testing_support::FakeColumn> columns{
        {QStringLiteral("ID"), ado::adInteger}, {QStringLiteral("NOTE"), ado::adLongVarChar}, {QStringLiteral("N"), ado::adInteger}};
    const QStringList tables{"BEFORE", "BAD", "AFTER"};
    for (const QString &name : tables)
        database->add(name, columns, 40);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failing.join(u'+').toStdString() + " on record " + std::to_string(c.record));
        database->failing.clear();
        database->tables[1].warning.clear();
        for (const QString &operation : c.failing) {
            if (operation == QLatin1String("warning"))
                database->tables[1].warning = QStringLiteral("Row 2: the column \"NOTE\" could not be computed.");
            else
                database->fail(operation + QStringLiteral(" BAD"));
        }
        database->failingRecord = c.record;
        exportTicked(tables);

        EXPECT_EQ(reports(), c.steps);
        EXPECT_TRUE(boxes->shown.front().prompt.startsWith(QStringLiteral("While exporting the table \"BAD\": ")));
        EXPECT_TRUE(boxes->shown[boxes->shown.size() - 2].prompt.contains(QLatin1String(c.lastSays)))
            << boxes->shown[boxes->shown.size() - 2].prompt.toStdString();
        EXPECT_EQ(boxes->shown.back().prompt, QStringLiteral("Done."));
        const auto sheetOf = [&](const QString &table) {
            const auto sheet = std::find_if(book().sheets.begin(), book().sheets.end(),
                                            [&](const auto &s) { return s->name == table; });
            return sheet == book().sheets.end() ? nullptr : sheet->get();
        };
        for (const QString &whole : {QStringLiteral("BEFORE"), QStringLiteral("AFTER")}) {
            ASSERT_NE(sheetOf(whole), nullptr) << whole.toStdString();
            EXPECT_EQ(sheetOf(whole)->rows(), 41);
            EXPECT_EQ(sheetOf(whole)->cell(1, 2), QStringLiteral("NOTE"));
            EXPECT_EQ(sheetOf(whole)->cell(41, 3), QStringLiteral("40.3"));
        }
        EXPECT_EQ(sheetOf(QStringLiteral("BAD")) ? sheetOf(QStringLiteral("BAD"))->rows() : -1, c.badRows);
        if (c.badRows == 3 && c.failing.size() == 1) {
            EXPECT_EQ(sheetOf(QStringLiteral("BAD"))->cell(3, 1), QStringLiteral("2.1")) << "the last row read, once";
        }
        if (c.record == 2 && c.badRows == 41) {
            EXPECT_EQ(sheetOf(QStringLiteral("BAD"))->cell(3, 1), QString());
            EXPECT_EQ(sheetOf(QStringLiteral("BAD"))->cell(4, 1), QStringLiteral("3.1"));
        }
    }
}

// After the tables every failure is said again, and "Done." never shows over
// a workbook the user cannot see.
TEST_F(ExportFlowTest, FailuresAfterTheTablesAreEachSaidAndAnUnseenWorkbookIsNotDone)
{
    database->add(QStringLiteral("A"), {{QStringLiteral("ID"), ado::adInteger}}, 2);
    spreadsheet->fail(QStringLiteral("AutoFit"));
    spreadsheet->fail(QStringLiteral("Visible"));
    exportTicked({"A"});
    EXPECT_EQ(reports(), (std::vector<QString>{QStringLiteral("208"), QStringLiteral("210")}));
    EXPECT_EQ(boxes->shown.size(), 2u) << "no Done.";
    EXPECT_FALSE(window.busy());
}

TEST_F(ExportFlowTest, MissingSpreadsheetEndsTheExportAfterOneReportAndResets)
{
    database->add(QStringLiteral("A"), {{QStringLiteral("ID"), ado::adInteger}}, 1);
    spreadsheet->fail(QStringLiteral("create"));
    exportTicked({"A"});
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("116")});
    EXPECT_EQ(boxes->shown.size(), 1u) << "no Done. for an export that wrote nothing";
    EXPECT_FALSE(window.busy());
    EXPECT_EQ(window.pointer, 0);
    EXPECT_EQ(database->openConnections, 0);

    boxes->shown.clear();
    spreadsheet->failing = {QStringLiteral("Add workbook")};
    runExport();
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("118")});
}

TEST_F(ExportFlowTest, DatabaseObjectsThatCannotBeCreatedFailTheStepsThatWantThemWithoutACrash)
{
    struct Case {
        const char *missing;
        std::vector<QString> reports;
        bool done;
    };
    database->add(QStringLiteral("A"));
    database->add(QStringLiteral("B"));
    for (const Case &c : {Case{"create Connection", {"100", "112"}, false},
                          Case{"create Recordset", {"102", "136", "136"}, true}}) {
        SCOPED_TRACE(c.missing);
        const int officesBefore = spreadsheet->applicationsCreated;
        database->failing = {QString::fromLatin1(c.missing)};
        exportTicked({"A", "B"});
        EXPECT_EQ(reports(), c.reports);
        const auto lastReport = std::find_if(boxes->shown.rbegin(), boxes->shown.rend(), [](const auto &box) {
            return box.title == QStringLiteral("Application Error");
        });
        ASSERT_NE(lastReport, boxes->shown.rend());
        EXPECT_TRUE(lastReport->prompt.contains(QStringLiteral("This step needs the \"ADODB.")))
            << "the steps after the creation fail for want of the object";
        EXPECT_EQ(boxes->prompts().back() == QStringLiteral("Done."), c.done);
        EXPECT_EQ(spreadsheet->applicationsCreated > officesBefore, c.done) << "no office for nothing to read";
        EXPECT_FALSE(window.busy());
        EXPECT_EQ(window.pointer, 0);
    }
}

TEST_F(ExportFlowTest, AWriteThatFailsOnItsWayIsReportedAsTheWriteAndTheNextTableGetsItsOwnSheet)
{
    database->add(QStringLiteral("A"), {{QStringLiteral("ID"), ado::adInteger}}, 2);
    database->add(QStringLiteral("B"), {{QStringLiteral("ID"), ado::adInteger}}, 2);
    spreadsheet->afterCellWrite = [this] { spreadsheet->pendingWriteFailure = spreadsheet->cellWrites == 3; };
    exportTicked({"A", "B"});
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("198")});
    EXPECT_EQ(book().names(), QStringList({"B", "A"}));
    EXPECT_EQ(book().sheets[1]->rows(), 3);
    EXPECT_EQ(boxes->prompts().back(), QStringLiteral("Done."));
}

TEST_F(ExportFlowTest, ASpreadsheetThatStopsEndsTheExportAfterOneReportWithoutDone)
{
    for (const char *name : {"A", "B", "C"})
        database->add(QString::fromLatin1(name), {{QStringLiteral("ID"), ado::adInteger}, {QStringLiteral("N"), ado::adInteger}}, 50);
    spreadsheet->afterCellWrite = [this] { spreadsheet->stopped = spreadsheet->cellWrites >= 40; };
    exportTicked({"A", "B", "C"});
    EXPECT_EQ(reports(), std::vector<QString>{QStringLiteral("198")});
    EXPECT_EQ(boxes->shown.size(), 1u) << "no Done. for a workbook that is gone";
    EXPECT_EQ(book().names(), QStringList({"A"}));
    EXPECT_EQ(spreadsheet->cellWrites, 40);
    EXPECT_FALSE(spreadsheet->visible);
    EXPECT_EQ(window.percents.back(), 0);
    EXPECT_EQ(window.progressText(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(window.pointer, 0);
    EXPECT_FALSE(window.busy());
    EXPECT_EQ(database->openConnections, 0);
}

// A database that is gone (it does not open, or it goes away during the
// export) is said once and ends the export without "Done.": the tables
// read before it went stay in the workbook, which is shown.
TEST_F(ExportFlowTest, ADatabaseThatIsGoneIsSaidOnceAndEndsTheExport)
{
    struct Case {
        const char *what;
        std::function<void()> breakIt; // before the run
        int goneAtCellWrite;           // 0: not during the run
        std::vector<QString> reports;
        QStringList sheets;
    };
    for (const char *name : {"A", "B", "C"})
        database->add(QString::fromLatin1(name), {{QStringLiteral("ID"), ado::adInteger}, {QStringLiteral("N"), ado::adInteger}}, 10);
    const Case cases[] = {
        {"does not open", [this] { database->fail(QStringLiteral("Open")); }, 0, {"114"}, {}},
        {"gone in the middle of a record", [] {}, 29, {"192"}, {"B", "A"}},
        {"gone after a failure of the same table", [this] { database->fail(QStringLiteral("Name B")); }, 30, {"178", "202"},
         {"B", "A"}},
        {"gone after the last record of a table", [] {}, 22, {"202"}, {"A"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        database->failing.clear();
        database->gone = false;
        spreadsheet->books.clear();
        spreadsheet->cellWrites = 0;
        spreadsheet->visible = false;
        c.breakIt();
        spreadsheet->afterCellWrite = [&] { database->gone = database->gone || spreadsheet->cellWrites == c.goneAtCellWrite; };
        exportTicked({"A", "B", "C"});

        EXPECT_EQ(reports(), c.reports);
        EXPECT_EQ(boxes->shown.size(), c.reports.size()) << "no Done. for an export that could not read its tables";
        if (c.sheets.isEmpty()) {
            EXPECT_TRUE(spreadsheet->books.empty()) << "no office for nothing to read";
        } else {
            ASSERT_EQ(spreadsheet->books.size(), 1u);
            EXPECT_EQ(book().names(), c.sheets);
            EXPECT_EQ(book().sheets.back()->rows(), 11);
            EXPECT_TRUE(spreadsheet->visible);
        }
        EXPECT_EQ(window.progressText(), QStringLiteral("Progress Bar"));
        EXPECT_EQ(window.pointer, 0);
        EXPECT_FALSE(window.busy());
        EXPECT_EQ(database->openConnections, 0);
    }
}

TEST_F(ExportFlowTest, TableLargerThanASheetContinuesOnFurtherSheetsWithTheHeaderRepeated)
{
    auto &table = database->add(QStringLiteral("BIG"), {{QStringLiteral("N"), ado::adInteger}});
    const int records = 1048575 + 5;
    table.rows.reserve(records);
    for (int r = 1; r <= records; ++r)
        table.rows.push_back({QString::number(r)});
    exportTicked({"BIG"});
    EXPECT_TRUE(reports().empty());
    ASSERT_EQ(book().names(), QStringList({"BIG2", "BIG"}));
    EXPECT_EQ(book().sheets[1]->cell(1048576, 1), QStringLiteral("1048575"));
    EXPECT_EQ(book().sheets[0]->cell(1, 1), QStringLiteral("N"));
    EXPECT_EQ(book().sheets[0]->cell(2, 1), QStringLiteral("1048576"));
    EXPECT_EQ(book().sheets[0]->cell(6, 1), QStringLiteral("1048580"));
}

// The user's events during the export's yields: a second "Finish", ticks
// changed for the entries not yet reached, a list filled again with fewer
// entries.
TEST_F(ExportFlowTest, EventsDuringTheYieldsDecideForTheEntriesNotYetReached)
{
    struct Case {
        const char *what;
        QStringList ticked;
        std::function<void(ListedWindow &)> duringExport;
        QStringList sheets;
        std::vector<QString> reports;
    };
    const auto tickAll = [](bool tick) { return [tick](ListedWindow &w) { for (auto &e : w.entries) e.ticked = tick; }; };
    const QStringList all{"FIRST", "SECOND", "THIRD"};
    for (const QString &name : all)
        database->add(name, {{QStringLiteral("ID"), ado::adInteger}}, 200);
    for (const Case &c : {Case{"second Finish", {"FIRST"}, [this](ListedWindow &) { runExport(); }, {"FIRST"}, {}},
                          Case{"select all", {"FIRST"}, tickAll(true), {"THIRD", "SECOND", "FIRST"}, {}},
                          Case{"deselect all", all, tickAll(false), {"FIRST"}, {}},
                          Case{"list refilled", all, [](ListedWindow &w) { w.entries.resize(1); }, {"FIRST"}, {"128"}}}) {
        SCOPED_TRACE(c.what);
        spreadsheet->books.clear();
        spreadsheet->cellWrites = 0;
        listAndTick(c.ticked);
        window.onYield = [&] {
            if (spreadsheet->cellWrites < 10)
                return;
            window.onYield = nullptr;
            c.duringExport(window);
        };
        runExport();
        EXPECT_EQ(spreadsheet->books.size(), 1u);
        EXPECT_EQ(book().names(), c.sheets);
        EXPECT_EQ(reports(), c.reports);
        if (!c.reports.empty()) {
            EXPECT_TRUE(boxes->shown[0].prompt.startsWith(QStringLiteral("Entries 2 to 3 of the list were not exported")));
        }
        EXPECT_EQ(boxes->prompts().back(), QStringLiteral("Done."));
    }
}

} // namespace

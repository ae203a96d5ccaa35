#include "table_export.h"

#include "database_access.h"
#include "excel1.h"
#include "fire_bird.h"
#include "form2.h"
#include "guarded_procedure.h"
#include "main_module.h"
#include "platform.h"
#include "sheet_exists.h"
#include "spreadsheet_automation.h"

namespace {

const QString binaryPlaceholder = QStringLiteral("{BINARY DATA}");

QString goneEntriesText(int first, int last)
{
    if (first == last)
        return QStringLiteral("Entry %1 of the list was not exported: the list was filled again during the export, "
                              "and the entry is gone.").arg(first);
    return QStringLiteral("Entries %1 to %2 of the list were not exported: the list was filled again during the "
                          "export, and these entries are gone.").arg(first).arg(last);
}

// Everything one run of the export holds; dropped when the run ends.
struct ExportRun {
    Form2 &window;
    frame::GuardedProcedure p{QStringLiteral("in Marrowbeck2021/08/31.Form2.PushButton5_Click ")};
    std::shared_ptr<ado::Connection> connection;
    std::shared_ptr<ado::Recordset> recordset;
    std::shared_ptr<excel::Application> application;
    std::shared_ptr<excel::Workbook> workbook;
    std::shared_ptr<excel::Worksheet> sheet;
    bool firstSheet = false;
    // Once the spreadsheet application has stopped nothing more can be
    // written: its steps are skipped without further reports.
    bool spreadsheetStopped = false;

    template <class Work>
    auto watchSpreadsheet(Work &&work) -> decltype(work());
    template <class Action>
    bool sheetStep(int number, Action &&action);

    void run();
    bool prepareWorkbook();
    bool exportEntry(int i, int entries);
    bool writeTable(const QString &sheetCandidate);
    // A worksheet name and the number it took (0: none).
    struct DistinctName {
        QString name;
        int number = 0;
    };
    void nameSheet(const QString &name, int stepNumber);
    DistinctName distinctName(const QString &base, int firstNumber, int stepNumber);
    bool takenByAnotherSheet(const QString &name);
    bool takeSheet();
    bool startContinuationSheet(const QString &sheetCandidate, int part, int fields);
    bool finishWrites(int stepNumber);
    void finish();
};

template <class Work>
auto ExportRun::watchSpreadsheet(Work &&work) -> decltype(work())
{
    try {
        return work();
    } catch (const components::ComponentStopped &) {
        spreadsheetStopped = true;
        throw;
    }
}

template <class Action>
bool ExportRun::sheetStep(int number, Action &&action)
{
    if (spreadsheetStopped)
        return false;
    return p.step(number, [&] { watchSpreadsheet(action); });
}

void ExportRun::run()
{
    p.step(100, [&] { connection = components::create<ado::Connection>(ado::ConnectionClass); });
    p.step(102, [&] { recordset = components::create<ado::Recordset>(ado::RecordsetClass); });
    if (window.exportRunning)
        return;
    p.step(106, [&] { window.exportRunning = true; });
    if (!p.test(108, [&] { return window.ListView1->topLevelItemCount() == 0; })) {
        p.step(110, [&] { window.MousePointer().setValue(frame::vbHourglass); });
        // Without a connection object nothing can be read: the export ends
        // after the one report, before an office is started for nothing.
        const bool hasConnection = p.step(112, [&] {
            components::required(connection, ado::ConnectionClass).setMode(ado::adModeReadWrite);
        });
        if (hasConnection)
            p.step(114, [&] { connection->Open(FireBird::currentConnectionString()); });
        if (hasConnection && prepareWorkbook()) {
            p.step(124, [&] { firstSheet = true; });
            const std::optional<int> entries = p.value<int>(126, [&] { return window.ListView1->topLevelItemCount(); });
            for (int i = 1; entries && i <= *entries; ++i) {
                if (!exportEntry(i, *entries) || spreadsheetStopped)
                    break;
            }
            p.forgetReports();
            p.setSubject(QString());
            sheetStep(208, [&] { workbook->ActiveSheet()->columns().AutoFit(); });
            sheetStep(210, [&] { application->setVisible(true); });
            finish();
            // The workbook went with the application: nothing was done.
            if (!spreadsheetStopped)
                p.step(224, [] { frame::MsgBox(QStringLiteral("Done."), frame::vbOKOnly); });
        } else {
            finish();
        }
        p.step(226, [&] {
            if (connection && connection->state() != ado::adStateClosed)
                connection->Close();
        });
    }
    p.step(228, [&] { window.exportRunning = false; });
}

// Without an application or a workbook there is nothing to write into: the
// export ends after the one report instead of failing on every later step.
bool ExportRun::prepareWorkbook()
{
    if (!p.step(116, [&] { application = components::create<excel::Application>(excel::ApplicationClass); }))
        return false;
    if (!p.step(118, [&] { workbook = application->workbooks().Add(); }))
        return false;
    p.whileLoop(120, [&] { return watchSpreadsheet([&] { return workbook->worksheets().count() > 1; }); }, [&] {
        // A sheet that cannot be deleted would be tried for ever.
        return sheetStep(122, [&] {
            excel::Worksheets &sheets = workbook->worksheets();
            sheets.item(sheets.count())->Delete();
        });
    });
    return true;
}

// False when the entry is gone, and with it every later one.
bool ExportRun::exportEntry(int i, int entries)
{
    p.forgetReports();
    p.reportEachStepOnce();
    p.setSubject(QString());
    QTreeWidgetItem *entry = window.ListView1->topLevelItem(i - 1);
    // "Next >" during a yield may have refilled the list with fewer entries.
    // No yield comes between here and the end of the run, so all entries from
    // this one on are gone: one report names them, not one box each.
    if (!entry) {
        p.step(128, [&] { throw components::ComponentError(goneEntriesText(i, entries)); });
        return false;
    }
    if (!p.test(128, [&] { return entry->checkState(0) == Qt::Checked; }))
        return true;
    QString currentName;
    p.step(130, [&] { currentName = entry->text(0); });
    // A database's description of a failure names the database, not the
    // table it was reading.
    p.setSubject(QStringLiteral("While exporting the table \"%1\": ").arg(currentName));
    p.step(132, [&] {
        const int entriesNow = window.ListView1->topLevelItemCount();
        window.ProgressBar1->setPercent(double(i) / double(entriesNow) * 100.0);
    });
    p.step(134, [&] { window.ProgressBar1->setText(tableProgressText(currentName)); });
    // Without a recordset object no table can be read: one report each.
    if (!p.step(136, [&] {
            if (components::required(recordset, ado::RecordsetClass).state() != ado::adStateClosed)
                recordset->Close();
        }))
        return true;
    p.step(138, [&] { recordset->setCursorLocation(ado::adUseClient); });
    // A table whose query fails has nothing to write: one report, next table.
    if (!p.step(140, [&] { recordset->Open(selectAllQuery(currentName), *connection); }))
        return true;
    if (!takeSheet())
        return true;
    // Every table gets a worksheet name of its own that shows which table
    // it is: the cleaned name, numbered while another worksheet has it.
    // Only a long name's shortened (and numbered) form replaces the name the
    // progress texts show.
    const bool longName = p.test(150, [&] { return currentName.size() > 31; });
    QString base;
    if (longName) {
        p.step(152, [&] { currentName = currentName.left(30); });
        p.step(154, [&] { base = currentName.left(30); });
    }
    const DistinctName sheetName = distinctName(Excel1::CleanSheetName(longName ? base : currentName), 1, 158);
    if (longName && sheetName.number > 0)
        currentName = Excel1::numberedCandidate(base, sheetName.number);
    nameSheet(sheetName.name, 164);
    writeTable(currentName);
    return true;
}

// A table without a worksheet of its own is not written: it would go over
// the previous table's.
bool ExportRun::takeSheet()
{
    if (p.test(142, [&] { return firstSheet; })) {
        const bool taken = sheetStep(144, [&] { sheet = workbook->ActiveSheet(); });
        p.step(146, [&] { firstSheet = false; });
        return taken;
    }
    return sheetStep(148, [&] { sheet = workbook->worksheets().Add(); });
}

// Numbers the cleaned base until it names no other worksheet. Each candidate
// keeps within 30 characters and survives cleaning whole, so the name the
// sheet gets is the candidate itself and two tables never end on one name.
ExportRun::DistinctName ExportRun::distinctName(const QString &base, int firstNumber, int stepNumber)
{
    DistinctName result{firstNumber == 1 ? base : Excel1::numberedCandidate(base, firstNumber),
                        firstNumber == 1 ? 0 : firstNumber};
    int n = firstNumber;
    const auto taken = [&] {
        return !spreadsheetStopped && watchSpreadsheet([&] { return takenByAnotherSheet(result.name); });
    };
    p.whileLoop(stepNumber, taken, [&] {
        p.step(stepNumber + 2, [&] { result = {Excel1::numberedCandidate(base, n), n}; });
        p.step(stepNumber + 4, [&] { ++n; });
        return true;
    });
    return result;
}

// The new worksheet's own name ("Sheet2") does not keep a table of that name
// from it.
bool ExportRun::takenByAnotherSheet(const QString &name)
{
    return sheet->Name().compare(name, Qt::CaseInsensitive) != 0 && SheetExists(name, *workbook);
}

void ExportRun::nameSheet(const QString &name, int stepNumber)
{
    sheetStep(stepNumber, [&] { sheet->setName(name); });
}

bool ExportRun::startContinuationSheet(const QString &sheetCandidate, int part, int fields)
{
    if (!finishWrites(198) || !sheetStep(148, [&] { sheet = workbook->worksheets().Add(); }))
        return false;
    nameSheet(distinctName(Excel1::CleanSheetName(sheetCandidate), part, 158).name, 164);
    for (int f = 0; f < fields; ++f) {
        if (!sheetStep(178, [&] { sheet->setCells(1, f + 1, (*recordset)[f].Name()); }))
            return false;
    }
    return true;
}

// Cells go to the office in blocks: a block that failed is reported here, as
// the write it was, and never by the next table's first call.
bool ExportRun::finishWrites(int stepNumber)
{
    return sheetStep(stepNumber, [&] { sheet->finishWrites(); });
}

bool ExportRun::writeTable(const QString &sheetCandidate)
{
    const std::optional<long> records = p.value<long>(172, [&] { return recordset->RecordCount(); });
    if (!records)
        return false;
    const int N = int(*records);
    const std::optional<int> F = p.value<int>(174, [&] { return recordset->fields().count(); });
    if (!F)
        return false;
    for (int f = 0; f < *F && !spreadsheetStopped; ++f) {
        p.step(176, [] { frame::DoEvents(); });
        sheetStep(178, [&] { sheet->setCells(1, f + 1, (*recordset)[f].Name()); });
    }
    // A table with more records than a worksheet holds goes on over further
    // worksheets, each with its own header row, so no record is lost.
    const int recordsPerSheet = Excel1::worksheetRowLimit - 1;
    int sheetRow = 1;
    int part = 1;
    for (int r = 1; r <= N && !spreadsheetStopped; ++r) {
        p.step(184, [] { frame::DoEvents(); });
        p.step(186, [&] {
            window.ProgressBar1->setText([sheetCandidate, r, N] { return rowProgressText(sheetCandidate, r, N); });
        });
        const std::optional<int> fieldsNow = p.value<int>(188, [&] { return recordset->fields().count(); });
        if (!fieldsNow)
            return false;
        if (sheetRow > recordsPerSheet) {
            if (!startContinuationSheet(sheetCandidate, ++part, *fieldsNow))
                return false;
            sheetRow = 1;
        }
        ++sheetRow;
        for (int f = 0; f < *fieldsNow; ++f) {
            p.step(190, [] { frame::DoEvents(); });
            p.step(192, [&] {
                const int fields = recordset->fields().count();
                window.ProgressBar1->setText(
                    [sheetCandidate, r, N, f, fields] { return cellProgressText(sheetCandidate, r, N, f + 1, fields); });
            });
            ado::Field *field = nullptr;
            if (p.test(194, [&] {
                    field = &(*recordset)[f];
                    return field->Type() == ado::adLongVarBinary;
                }))
                sheetStep(196, [&] { sheet->setCells(sheetRow, f + 1, binaryPlaceholder); });
            else
                sheetStep(198, [&] { sheet->setCells(sheetRow, f + 1, Main::NullToDefault(field->value(), QString())); });
        }
        // A record set that cannot move on still holds the row it read
        // last: going on would write that row again into every later row
        // of the sheet, records the database never held. The table ends
        // after the one report.
        if (!p.step(202, [&] { recordset->MoveNext(); }))
            return false;
    }
    return finishWrites(N > 0 ? 198 : 178);
}

void ExportRun::finish()
{
    p.step(212, [&] { window.ProgressBar1->setPercent(0); });
    p.step(214, [&] { window.ProgressBar1->setText(QStringLiteral("Progress Bar")); });
    p.step(216, [&] { window.MousePointer().setValue(frame::vbDefault); });
    p.step(218, [&] {
        if (window.isMinimized())
            window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    });
}

} // namespace

void runExport(Form2 &window)
{
    ExportRun run{window};
    run.run();
}

QString selectAllQuery(const QString &tableName)
{
    QString quoted = tableName;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QStringLiteral("SELECT * FROM \"") + quoted + QLatin1Char('"');
}

QString tableProgressText(const QString &name) { return QStringLiteral("Processing: ") + name; }

QString rowProgressText(const QString &name, int row, int rows)
{
    // One pass of arg(): a name holding "%2" must not be substituted into.
    return QStringLiteral("Processing: %1, row %2 from %3...").arg(name, QString::number(row), QString::number(rows));
}

QString cellProgressText(const QString &name, int row, int rows, int field, int fields)
{
    return QStringLiteral("Processing: %1, row %2 from %3, field %4 from %5...")
        .arg(name, QString::number(row), QString::number(rows), QString::number(field), QString::number(fields));
}

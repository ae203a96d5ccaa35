#include "table_export.h"

#include "connection_string.h"
#include "export_run.h"
#include "platform.h"
#include "window_pointer.h"
#include "worksheet_rules.h"

namespace exporting {
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

} // namespace

void ExportRun::run()
{
    p.step(100, [&] { connection = components::create<ado::Connection>(ado::ConnectionClass); });
    p.step(102, [&] { recordset = components::create<ado::Recordset>(ado::RecordsetClass); });
    if (window.busy())
        return;
    p.step(106, [&] { window.setBusy(true); });
    if (!p.test(108, [&] { return window.entryCount() == 0; })) {
        p.step(110, [&] { window.setPointer(frame::vbHourglass); });
        // Without a connection object nothing can be read: the export ends
        // after the one report, before an office is started for nothing.
        const bool hasConnection = p.step(112, [&] {
            components::required(connection, ado::ConnectionClass).setMode(ado::adModeReadWrite);
        });
        // A database that does not open (gone since the list was filled,
        // refused, unreachable) has no table to give: its one report ends the
        // export, as a missing connection object does.
        const bool opened = hasConnection && p.step(114, [&] {
            connection->setPreparationProgress(preparation);
            connection->Open(dbaccess::connectionString(login));
            ensureListedDatabase();
        });
        if (opened && prepareWorkbook()) {
            p.step(124, [&] { firstSheet = true; });
            const std::optional<int> entries = p.value<int>(126, [&] { return window.entryCount(); });
            p.reportFirstFailureOnly();
            for (int i = 1; entries && i <= *entries; ++i) {
                if (!exportEntryCounted(i, *entries) || stopped())
                    break;
            }
            p.reportEveryFailure();
            p.setSubject(QString());
            // The tables copied before the database went, or before the disk
            // filled, are shown (or stored) all the same; an office left
            // invisible would stay behind unseen.
            sheetStep(208, [&] { workbook->ActiveSheet()->columns().AutoFit(); });
            const auto delivery = [&] { deliver(*application, *workbook, results); };
            results.delivered = spreadsheetFull ? p.step(210, delivery) : sheetStep(210, delivery);
            finish();
            // The workbook went with the application, the tables left went
            // with the database, or the user cannot see the workbook: the
            // export was not done.
            if (!stopped() && results.delivered)
                p.step(224, [] { frame::MsgBox(QStringLiteral("Done."), frame::vbOKOnly); });
        } else {
            finish();
        }
        p.step(226, [&] {
            if (connection && connection->state() != ado::adStateClosed)
                connection->Close();
        });
    }
    p.step(228, [&] { window.setBusy(false); });
    results.otherFailures = p.failures() > tableFailures;
}

// The entry's table, if it reached one, learns whether anything of it failed.
bool ExportRun::exportEntryCounted(int i, int entries)
{
    const int failuresBefore = p.failures();
    const std::size_t tablesBefore = results.tables.size();
    const bool goOn = exportEntry(i, entries);
    if (results.tables.size() > tablesBefore) {
        results.tables.back().failed = p.failures() > failuresBefore;
        tableFailures += p.failures() - failuresBefore;
    }
    return goOn;
}

QString ExportRun::tableEndNote() const
{
    const TableResult &table = results.tables.back();
    if (table.records < 0)
        return QStringLiteral(" The table ended there: none of its records reached the workbook.");
    return QStringLiteral(" The table ended there: %1 of its %2 records reached the workbook.")
        .arg(table.recordsWritten)
        .arg(table.records);
}

// The entries name the tables of the database they were listed from: in
// another database copied over its file since, every one of them would be
// missing, a report each, then "Done." over an empty workbook.
void ExportRun::ensureListedDatabase()
{
    const QString listed = window.listedDatabase();
    if (listed.isEmpty() || connection->databaseIdentity() == listed)
        return;
    throw components::ComponentError(QStringLiteral(
        "The database is not the one whose tables are listed: another database has taken its place since the list "
        "was filled. Go back and press \"Next >\" to list the tables it has now."));
}

// Without an application or a workbook there is nothing to write into: the
// export ends after the one report instead of failing on every later step.
bool ExportRun::prepareWorkbook()
{
    if (!p.step(116, [&] { application = components::create<excel::Application>(excel::ApplicationClass); }))
        return false;
    if (!p.step(118, [&] { workbook = application->workbooks().Add(); }))
        return false;
    p.whileLoop(120, [&] { return watch([&] { return workbook->worksheets().count() > 1; }); }, [&] {
        // A sheet that cannot be deleted would be tried for ever.
        return sheetStep(122, [&] {
            excel::Worksheets &sheets = workbook->worksheets();
            sheets.item(sheets.count())->Delete();
        });
    });
    return true;
}

// False when the entry is gone, and with it every later one. Whatever fails
// in one table is reported once, with the first failure: later steps of the
// table fail for the same reason.
bool ExportRun::exportEntry(int i, int entries)
{
    p.forgetReports();
    p.setSubject(QString());
    // "Next >" during a yield may have refilled the list with fewer entries.
    // No yield comes between here and the end of the run, so all entries from
    // this one on are gone: one report names them, not one box each.
    if (i > window.entryCount()) {
        p.step(128, [&] { throw components::ComponentError(goneEntriesText(i, entries)); });
        return false;
    }
    if (!p.test(128, [&] { return window.entryTicked(i); }))
        return true;
    QString currentName;
    p.step(130, [&] { currentName = window.entryText(i); });
    results.tables.push_back({currentName, {}, -1, 0, false});
    // A database's description of a failure names the database, not the
    // table it was reading.
    p.setSubject(QStringLiteral("While exporting the table \"%1\": ").arg(currentName));
    double percent = 0;
    p.step(132, [&] {
        const int entriesNow = window.entryCount();
        percent = double(i) / double(entriesNow) * 100.0;
        window.setProgressPercent(percent);
    });
    p.step(134, [&] { window.setProgressText(tableProgressText(currentName)); });
    preparation->showingTable(percent, tableProgressText(currentName));
    // Without a recordset object no table can be read: one report each.
    if (!readStep(136, [&] {
            if (components::required(recordset, ado::RecordsetClass).state() != ado::adStateClosed)
                recordset->Close();
        }))
        return true;
    readStep(138, [&] { recordset->setCursorLocation(ado::adUseClient); });
    // A table whose query fails has nothing to write: one report, next table.
    if (!readStep(140, [&] { recordset->OpenTable(currentName, *connection); }))
        return true;
    if (!takeSheet())
        return true;
    nameTableSheet(currentName);
    writeTable(currentName);
    // Values the database could not compute were left empty on the way;
    // the recordset tells of them once, for the whole table.
    alwaysSaid({}, [&] {
        readStep(198, [&] {
            const QString warning = recordset->warning();
            if (!warning.isEmpty())
                throw components::ComponentError(warning);
        });
    });
    return true;
}

void ExportRun::writeTable(const QString &sheetCandidate)
{
    const auto endNote = [this] { return tableEndNote(); };
    const std::optional<long> records =
        alwaysSaid(endNote, [&] { return readValue<long>(172, [&] { return recordset->RecordCount(); }); });
    if (!records)
        return;
    results.tables.back().records = *records;
    const int N = int(*records);
    const std::optional<int> F =
        alwaysSaid(endNote, [&] { return readValue<int>(174, [&] { return recordset->fields().count(); }); });
    if (!F)
        return;
    for (int f = 0; f < *F && !stopped(); ++f) {
        p.step(176, [&] { window.yieldToEvents(); });
        sheetStep(178, [&] { sheet->setCells(1, f + 1, (*recordset)[f].Name()); });
    }
    // A table with more records than a worksheet holds goes on over further
    // worksheets, each with its own header row, so no record is lost.
    const int recordsPerSheet = excel::worksheetRowLimit - 1;
    int sheetRow = 1;
    int part = 1;
    for (int r = 1; r <= N && !stopped(); ++r) {
        // Records that end before their count would otherwise be read past
        // the last one, each read failing in turn.
        if (alwaysSaid(endNote, [&] { return readTest(182, [&] { return recordset->Eof(); }); }))
            break;
        p.step(184, [&] { window.yieldToEvents(); });
        p.step(186, [&] {
            window.setProgressTextMaker([sheetCandidate, r, N] { return rowProgressText(sheetCandidate, r, N); });
            window.rowReached(r, N);
        });
        const std::optional<int> fieldsNow = alwaysSaid(
            endNote, [&] { return readValue<int>(188, [&] { return recordset->fields().count(); }); });
        if (!fieldsNow)
            break;
        if (sheetRow > recordsPerSheet) {
            if (!alwaysSaid(endNote, [&] { return startContinuationSheet(sheetCandidate, ++part, *fieldsNow); }))
                break;
            sheetRow = 1;
        }
        ++sheetRow;
        for (int f = 0; f < *fieldsNow && !stopped(); ++f) {
            p.step(190, [&] { window.yieldToEvents(); });
            readStep(192, [&] {
                const int fields = recordset->fields().count();
                window.setProgressTextMaker(
                    [sheetCandidate, r, N, f, fields] { return cellProgressText(sheetCandidate, r, N, f + 1, fields); });
            });
            ado::Field *field = nullptr;
            const bool binary = readTest(194, [&] {
                field = &(*recordset)[f];
                return field->Type() == ado::adLongVarBinary;
            });
            if (databaseGone)
                break;
            if (binary)
                sheetStep(196, [&] { sheet->setCells(sheetRow, f + 1, binaryPlaceholder); });
            else
                sheetStep(198, [&] { sheet->setCells(sheetRow, f + 1, field->cell()); });
        }
        if (!databaseGone)
            results.tables.back().recordsWritten = r;
        // A record set that cannot move on still holds the row it read
        // last: going on would write that row again into every later row
        // of the sheet, records the database never held. The table ends
        // there, said even after an earlier report of the table.
        if (!alwaysSaid(endNote, [&] { return readStep(202, [&] { recordset->MoveNext(); }); }))
            break;
    }
    // Cells of a block that failed on its way are lost: said as well.
    if (!alwaysSaid({}, [&] { return finishWrites(N > 0 ? 198 : 178); }))
        results.tables.back().cellsLost = true;
}

void ExportRun::finish()
{
    p.step(212, [&] { window.setProgressPercent(0); });
    p.step(214, [&] { window.setProgressText(QStringLiteral("Progress Bar")); });
    p.step(216, [&] { window.setPointer(frame::vbDefault); });
    p.step(218, [&] { window.restoreIfMinimized(); });
}

} // namespace exporting

ExportResults runExport(ExportWindow &window, const dbaccess::Login &login)
{
    return runExport(window, login, [](excel::Application &application, excel::Workbook &, const ExportResults &) {
        application.setVisible(true);
    });
}

ExportResults runExport(ExportWindow &window, const dbaccess::Login &login, WorkbookDelivery deliver)
{
    exporting::ExportRun run(window, login, std::move(deliver));
    run.run();
    // The worksheets are the workbook's, handed over while it is delivered
    // only: the workbook may be gone by now.
    for (TableResult &table : run.results.tables)
        table.sheets.clear();
    return std::move(run.results);
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

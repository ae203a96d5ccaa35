// The export's worksheets: which sheet a table takes, and the name it gets.

#include "excel1.h"
#include "export_run.h"
#include "sheet_exists.h"

namespace exporting {

// A table without a worksheet of its own is not written: it would go over
// the previous table's.
bool ExportRun::takeSheet()
{
    if (p.test(142, [&] { return firstSheet; })) {
        const bool taken = sheetStep(144, [&] { sheet = workbook->ActiveSheet(); });
        p.step(146, [&] { firstSheet = false; });
        if (taken)
            tookSheet();
        return taken;
    }
    if (!sheetStep(148, [&] { sheet = workbook->worksheets().Add(); }))
        return false;
    tookSheet();
    return true;
}

void ExportRun::tookSheet() { results.tables.back().sheets.push_back(sheet); }

// Every table gets a worksheet name of its own that shows which table it is:
// the cleaned name, numbered while another worksheet has it. Only a long
// name's shortened (and numbered) form replaces the name the progress texts
// show.
void ExportRun::nameTableSheet(QString &currentName)
{
    const bool longName = p.test(150, [&] { return currentName.size() > excel::sheetNameLengthLimit; });
    QString base;
    if (longName) {
        p.step(152, [&] { currentName = currentName.left(Excel1::cleanSheetNameLength); });
        p.step(154, [&] { base = currentName.left(Excel1::cleanSheetNameLength); });
    }
    const DistinctName sheetName = distinctName(Excel1::CleanSheetName(longName ? base : currentName), 1, 158);
    if (longName && sheetName.number > 0)
        currentName = Excel1::numberedCandidate(base, sheetName.number);
    nameSheet(sheetName.name, 164);
}

// Numbers the cleaned base until it names no other worksheet. Each candidate
// keeps within the cleaned length and survives cleaning whole, so the name
// the sheet gets is the candidate itself and two tables never end on one
// name.
ExportRun::DistinctName ExportRun::distinctName(const QString &base, int firstNumber, int stepNumber)
{
    DistinctName result{firstNumber == 1 ? base : Excel1::numberedCandidate(base, firstNumber),
                        firstNumber == 1 ? 0 : firstNumber};
    int n = firstNumber;
    const auto taken = [&] {
        return !spreadsheetStopped && watch([&] { return takenByAnotherSheet(result.name); });
    };
    p.whileLoop(stepNumber, taken, [&] {
        p.step(stepNumber + 2, [&] { result = {Excel1::numberedCandidate(base, n), n}; });
        p.step(stepNumber + 4, [&] { ++n; });
        return true;
    });
    return result;
}

// The new worksheet's own name ("Sheet2") does not keep a table of that name
// from it, nor does a name the spreadsheet gave a sheet that kept it (its
// table's name was refused, or the new workbook could not be cut down): that
// sheet is renamed out of the way.
bool ExportRun::takenByAnotherSheet(const QString &name)
{
    if (sheet->Name().compare(name, Qt::CaseInsensitive) == 0 || !SheetExists(name, *workbook))
        return false;
    if (tableSheetNames.contains(name.toLower()))
        return true;
    renameAside(name);
    return false;
}

// The sheet that holds the name takes one of the spreadsheet's own kind that
// no sheet has.
void ExportRun::renameAside(const QString &name)
{
    excel::Worksheets &sheets = workbook->worksheets();
    const int count = sheets.count();
    QStringList names;
    std::shared_ptr<excel::Worksheet> holder;
    for (int k = 1; k <= count; ++k) {
        auto candidate = sheets.item(k);
        names << candidate->Name();
        if (names.back().compare(name, Qt::CaseInsensitive) == 0)
            holder = candidate;
    }
    // Another spelling of the name than the sheets show: the rename the
    // table's sheet then tries is refused and reported.
    if (!holder)
        return;
    int n = count + 1;
    while (names.contains(QStringLiteral("Sheet%1").arg(n), Qt::CaseInsensitive))
        ++n;
    holder->setName(QStringLiteral("Sheet%1").arg(n));
}

void ExportRun::nameSheet(const QString &name, int stepNumber)
{
    if (sheetStep(stepNumber, [&] { sheet->setName(name); }))
        tableSheetNames.insert(name.toLower());
}

bool ExportRun::startContinuationSheet(const QString &sheetCandidate, int part, int fields)
{
    if (!finishWrites(198) || !sheetStep(148, [&] { sheet = workbook->worksheets().Add(); }))
        return false;
    tookSheet();
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

} // namespace exporting

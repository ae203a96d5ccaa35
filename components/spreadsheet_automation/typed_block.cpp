#include "typed_block.h"

#include "number_format_keys.h"
#include "uno_runtime.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSheetCellRangeContainer.hpp>

#include <map>

namespace calc {

namespace {

// Calc shows a date before the Gregorian calendar began (15 October 1582,
// day -115,858 from 30 December 1899) in the Julian calendar: another day
// than the text says. Such a date stays the text.
constexpr double firstGregorianDay = -115858;

bool asText(const excel::Cell &cell)
{
    return cell.isText() || (cell.kind == excel::Cell::Date && cell.number < firstGregorianDay);
}

// Consecutive cells of a column that take the same format; text cells show
// their text under any format, so they neither end a run nor start one.
void addFormatRuns(const CellBlock &block, int column, std::vector<FormatRun> &runs)
{
    FormatRun *open = nullptr;
    for (int r = 0; r < int(block.rows.size()); ++r) {
        const excel::Cell &cell = block.rows[std::size_t(r)][std::size_t(column)];
        if (asText(cell))
            continue;
        const bool boolean = cell.kind == excel::Cell::Boolean;
        if (open && open->boolean == boolean && (boolean || open->format == cell.format)) {
            open->lastRow = r;
            continue;
        }
        runs.push_back({column, r, r, boolean, boolean ? QString() : cell.format});
        open = &runs.back();
    }
}

} // namespace

TypedBlock typedBlock(const CellBlock &block)
{
    const int rowCount = int(block.rows.size());
    const int columnCount = int(block.rows.front().size());
    TypedBlock typed;
    typed.firstRow = block.firstRow - 1;
    typed.firstColumn = block.firstColumn - 1;
    typed.values.realloc(rowCount);
    auto *rowData = typed.values.getArray();
    for (int r = 0; r < rowCount; ++r) {
        css::uno::Sequence<css::uno::Any> cells(columnCount);
        auto *cellData = cells.getArray();
        // A text is always a string, never a void Any: a void value in a
        // column not yet written crashes the office. An empty string leaves
        // the cell empty, and a string is stored as text, never re-read as
        // a number, date or formula.
        for (int c = 0; c < columnCount; ++c) {
            const excel::Cell &cell = block.rows[std::size_t(r)][std::size_t(c)];
            if (asText(cell))
                cellData[c] <<= toOUString(cell.text);
            else
                cellData[c] <<= cell.number;
        }
        rowData[r] = std::move(cells);
    }
    for (int c = 0; c < columnCount; ++c)
        addFormatRuns(block, c, typed.formats);
    return typed;
}

void writeTypedBlock(const css::uno::Reference<css::sheet::XSpreadsheet> &sheet, const TypedBlock &block,
                     NumberFormatKeys &keys, const css::uno::Reference<css::lang::XMultiServiceFactory> &document)
{
    const int rowCount = block.values.getLength();
    const int columnCount = block.values[0].getLength();
    const auto range = sheet->getCellRangeByPosition(block.firstColumn, block.firstRow,
                                                     block.firstColumn + columnCount - 1, block.firstRow + rowCount - 1);
    css::uno::Reference<css::sheet::XCellRangeData>(range, css::uno::UNO_QUERY_THROW)->setDataArray(block.values);
    if (block.formats.empty())
        return;
    const sal_Int16 sheetIndex =
        css::uno::Reference<css::sheet::XCellRangeAddressable>(range, css::uno::UNO_QUERY_THROW)->getRangeAddress().Sheet;
    std::map<sal_Int32, std::vector<css::table::CellRangeAddress>> rangesByKey;
    for (const FormatRun &run : block.formats) {
        const std::optional<sal_Int32> key = keys.key(run.format, run.boolean);
        if (!key)
            continue;
        const int column = block.firstColumn + run.column;
        rangesByKey[*key].push_back(
            {sheetIndex, column, block.firstRow + run.firstRow, column, block.firstRow + run.lastRow});
    }
    for (const auto &[key, addresses] : rangesByKey) {
        const css::uno::Reference<css::sheet::XSheetCellRangeContainer> ranges(
            document->createInstance("com.sun.star.sheet.SheetCellRanges"), css::uno::UNO_QUERY_THROW);
        ranges->addRangeAddresses(
            css::uno::Sequence<css::table::CellRangeAddress>(addresses.data(), sal_Int32(addresses.size())), true);
        css::uno::Reference<css::beans::XPropertySet>(ranges, css::uno::UNO_QUERY_THROW)
            ->setPropertyValue("NumberFormat", css::uno::Any(key));
    }
}

} // namespace calc

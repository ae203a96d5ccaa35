#include "calc_direct_write.h"

#include "calc_application.h"
#include "number_format_keys.h"
#include "typed_block.h"
#include "uno_runtime.h"

#include <QElapsedTimer>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/text/XText.hpp>

namespace spreadsheet_bench {

namespace {

calc::SheetRef sheetNamed(const excel::Application &application, const QString &name)
{
    const auto &calcApplication = dynamic_cast<const calc::CalcApplication &>(application);
    return calc::SheetRef(calcApplication.lastDocument()->sheets()->getByName(calc::toOUString(name)),
                          css::uno::UNO_QUERY_THROW);
}

} // namespace

WriteRate writeDirectInBlocks(const excel::Application &application, const QString &sheetName, int rows,
                              int columns, int blockRows)
{
    const calc::SheetRef sheet = sheetNamed(application, sheetName);
    QElapsedTimer timer;
    timer.start();
    for (int first = 1; first <= rows; first += blockRows) {
        const int count = std::min(blockRows, rows - first + 1);
        css::uno::Sequence<css::uno::Sequence<css::uno::Any>> block(count);
        auto *blockRowsData = block.getArray();
        for (int r = 0; r < count; ++r) {
            css::uno::Sequence<css::uno::Any> cells(columns);
            auto *cellData = cells.getArray();
            for (int c = 0; c < columns; ++c)
                cellData[c] <<= calc::toOUString(cellText(first + r, c + 1));
            blockRowsData[r] = std::move(cells);
        }
        const css::uno::Reference<css::sheet::XCellRangeData> range(
            sheet->getCellRangeByPosition(0, first - 1, columns - 1, first + count - 2), css::uno::UNO_QUERY_THROW);
        range->setDataArray(block);
    }
    return {static_cast<long long>(rows) * columns, timer.nsecsElapsed() / 1e9};
}

WriteRate ingestPremadeInBlocks(const excel::Application &application, const QString &sheetName,
                                const std::vector<std::vector<excel::Cell>> &rows, int blockRows)
{
    const calc::SheetRef sheet = sheetNamed(application, sheetName);
    std::vector<calc::TypedBlock> blocks;
    for (std::size_t first = 0; first < rows.size(); first += std::size_t(blockRows)) {
        calc::CellBlock block;
        block.firstRow = int(first) + 1;
        const std::size_t end = std::min(rows.size(), first + std::size_t(blockRows));
        block.rows.assign(rows.begin() + std::ptrdiff_t(first), rows.begin() + std::ptrdiff_t(end));
        blocks.push_back(calc::typedBlock(block));
    }
    const auto &calcApplication = dynamic_cast<const calc::CalcApplication &>(application);
    calc::NumberFormatKeys keys(css::uno::Reference<css::util::XNumberFormatsSupplier>(
        calcApplication.lastDocument()->document(), css::uno::UNO_QUERY_THROW));
    const css::uno::Reference<css::lang::XMultiServiceFactory> factory(calcApplication.lastDocument()->document(),
                                                                       css::uno::UNO_QUERY_THROW);
    QElapsedTimer timer;
    timer.start();
    for (const auto &block : blocks)
        calc::writeTypedBlock(sheet, block, keys, factory);
    return {static_cast<long long>(rows.size() * rows.front().size()), timer.nsecsElapsed() / 1e9};
}

WriteRate writeDirectCellByCell(const excel::Application &application, const QString &sheetName, int rows,
                                int columns)
{
    const calc::SheetRef sheet = sheetNamed(application, sheetName);
    QElapsedTimer timer;
    timer.start();
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= columns; ++c) {
            const css::uno::Reference<css::text::XText> cell(sheet->getCellByPosition(c - 1, r - 1),
                                                             css::uno::UNO_QUERY_THROW);
            cell->setString(calc::toOUString(cellText(r, c)));
        }
    }
    return {static_cast<long long>(rows) * columns, timer.nsecsElapsed() / 1e9};
}

} // namespace spreadsheet_bench

#include "calc_direct_write.h"

#include "calc_application.h"
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
                                const std::vector<std::vector<QString>> &rows, int blockRows)
{
    const calc::SheetRef sheet = sheetNamed(application, sheetName);
    const int columns = int(rows.front().size());
    std::vector<css::uno::Sequence<css::uno::Sequence<css::uno::Any>>> blocks;
    for (std::size_t first = 0; first < rows.size(); first += std::size_t(blockRows)) {
        const int count = int(std::min<std::size_t>(std::size_t(blockRows), rows.size() - first));
        css::uno::Sequence<css::uno::Sequence<css::uno::Any>> block(count);
        auto *blockRowsData = block.getArray();
        for (int r = 0; r < count; ++r) {
            css::uno::Sequence<css::uno::Any> cells(columns);
            auto *cellData = cells.getArray();
            for (int c = 0; c < columns; ++c)
                cellData[c] <<= calc::toOUString(rows[first + std::size_t(r)][std::size_t(c)]);
            blockRowsData[r] = std::move(cells);
        }
        blocks.push_back(std::move(block));
    }
    QElapsedTimer timer;
    timer.start();
    int firstRow = 0;
    for (const auto &block : blocks) {
        const css::uno::Reference<css::sheet::XCellRangeData> range(
            sheet->getCellRangeByPosition(0, firstRow, columns - 1, firstRow + block.getLength() - 1),
            css::uno::UNO_QUERY_THROW);
        range->setDataArray(block);
        firstRow += block.getLength();
    }
    return {static_cast<long long>(rows.size()) * columns, timer.nsecsElapsed() / 1e9};
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

#include "column_fitting.h"

#include "uno_runtime.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/util/XCloseable.hpp>

namespace calc {

namespace {

using SheetRef = css::uno::Reference<css::sheet::XSpreadsheet>;

css::uno::Reference<css::container::XIndexAccess> columnsOf(const SheetRef &sheet, int count)
{
    const css::uno::Reference<css::table::XColumnRowRange> range(sheet->getCellRangeByPosition(0, 0, count - 1, 0),
                                                                 css::uno::UNO_QUERY_THROW);
    return css::uno::Reference<css::container::XIndexAccess>(range->getColumns(), css::uno::UNO_QUERY_THROW);
}

css::uno::Reference<css::beans::XPropertySet> column(const css::uno::Reference<css::container::XIndexAccess> &columns,
                                                     int index)
{
    return css::uno::Reference<css::beans::XPropertySet>(columns->getByIndex(index), css::uno::UNO_QUERY_THROW);
}

// Closes the scratch document however the measuring ends.
class ScratchDocument {
public:
    explicit ScratchDocument(const css::uno::Reference<css::frame::XDesktop2> &desktop)
    {
        css::beans::PropertyValue hidden;
        hidden.Name = "Hidden";
        hidden.Value <<= true;
        m_component = desktop->loadComponentFromURL("private:factory/scalc", "_blank", 0,
                                                    css::uno::Sequence<css::beans::PropertyValue>(&hidden, 1));
    }
    ~ScratchDocument()
    {
        try {
            css::uno::Reference<css::util::XCloseable>(m_component, css::uno::UNO_QUERY_THROW)->close(true);
        } catch (...) {
            // An office gone meanwhile has closed it too.
        }
    }
    ScratchDocument(const ScratchDocument &) = delete;
    ScratchDocument &operator=(const ScratchDocument &) = delete;

    SheetRef firstSheet() const
    {
        const css::uno::Reference<css::sheet::XSpreadsheetDocument> document(m_component, css::uno::UNO_QUERY_THROW);
        const css::uno::Reference<css::container::XIndexAccess> sheets(document->getSheets(), css::uno::UNO_QUERY_THROW);
        return SheetRef(sheets->getByIndex(0), css::uno::UNO_QUERY_THROW);
    }

private:
    css::uno::Reference<css::lang::XComponent> m_component;
};

// The candidates side by side, a column each, as the cells were written.
void writeCandidates(const SheetRef &scratch, const std::vector<std::optional<std::vector<QString>>> &candidates,
                     std::size_t rows)
{
    const int columnCount = int(candidates.size());
    css::uno::Sequence<css::uno::Sequence<css::uno::Any>> data(static_cast<sal_Int32>(rows));
    auto *rowData = data.getArray();
    for (std::size_t r = 0; r < rows; ++r) {
        css::uno::Sequence<css::uno::Any> cells(columnCount);
        auto *cellData = cells.getArray();
        for (int c = 0; c < columnCount; ++c) {
            const auto &texts = candidates[std::size_t(c)];
            cellData[c] <<= toOUString(texts && r < texts->size() ? (*texts)[r] : QString());
        }
        rowData[r] = std::move(cells);
    }
    const auto range = scratch->getCellRangeByPosition(0, 0, columnCount - 1, sal_Int32(rows) - 1);
    css::uno::Reference<css::sheet::XCellRangeData>(range, css::uno::UNO_QUERY_THROW)->setDataArray(data);
}

} // namespace

void fitColumns(const css::uno::Reference<css::frame::XDesktop2> &desktop, const SheetRef &sheet,
                const std::vector<std::optional<std::vector<QString>>> &candidates)
{
    const int columnCount = int(candidates.size());
    if (columnCount == 0)
        return;
    std::size_t rows = 0;
    for (const auto &texts : candidates) {
        if (texts)
            rows = std::max(rows, texts->size());
    }
    const auto targetColumns = columnsOf(sheet, columnCount);
    if (rows > 0) {
        const ScratchDocument scratch(desktop);
        const SheetRef measured = scratch.firstSheet();
        writeCandidates(measured, candidates, rows);
        const auto measuredColumns = columnsOf(measured, columnCount);
        css::uno::Reference<css::beans::XPropertySet>(measuredColumns, css::uno::UNO_QUERY_THROW)
            ->setPropertyValue("OptimalWidth", css::uno::Any(true));
        for (int c = 0; c < columnCount; ++c) {
            if (candidates[std::size_t(c)])
                column(targetColumns, c)->setPropertyValue("Width", column(measuredColumns, c)->getPropertyValue("Width"));
        }
    }
    // Columns measured whole go in runs, one call a run: a sheet written only
    // in its last column has thousands of empty ones before it.
    for (int first = 0; first < columnCount;) {
        if (candidates[std::size_t(first)]) {
            ++first;
            continue;
        }
        int last = first;
        while (last + 1 < columnCount && !candidates[std::size_t(last + 1)])
            ++last;
        const css::uno::Reference<css::table::XColumnRowRange> run(sheet->getCellRangeByPosition(first, 0, last, 0),
                                                                   css::uno::UNO_QUERY_THROW);
        css::uno::Reference<css::beans::XPropertySet>(run->getColumns(), css::uno::UNO_QUERY_THROW)
            ->setPropertyValue("OptimalWidth", css::uno::Any(true));
        first = last + 1;
    }
}

} // namespace calc

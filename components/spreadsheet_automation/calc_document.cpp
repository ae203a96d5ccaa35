#include "calc_document.h"

#include "column_fitting.h"
#include "number_format_keys.h"
#include "typed_block.h"
#include "uno_runtime.h"

#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>

#include <array>

namespace calc {

namespace {

// Calc stores cells column by column, so a block's cost grows with its
// width as well as with its cells: a 2,000-column table sent 8 rows at a
// time keeps only 0.8 of the direct rate, 32 rows at a time 0.9. This
// budget keeps the rate of a 10-column table sent 6,500 rows at a time, and
// the buffer of any table to a few megabytes of typical cells.
constexpr std::size_t cellBudget = 65536;
// After a flush the office has nothing to do until the first block arrives:
// a small one gets it started while the next ones fill.
constexpr std::size_t firstBlockCells = 4096;

// Candidates are kept for this many sheets, the ones written last.
constexpr std::size_t sheetsWithWidthCandidates = 64;

// The font of a new document's cells, which the widths are estimated in.
std::unique_ptr<TextWidthEstimate> cellFontEstimate(const css::uno::Reference<css::sheet::XSpreadsheets> &sheets)
{
    QString family = QStringLiteral("Liberation Sans");
    double points = 10;
    try {
        const css::uno::Reference<css::container::XIndexAccess> byIndex(sheets, css::uno::UNO_QUERY_THROW);
        const SheetRef first(byIndex->getByIndex(0), css::uno::UNO_QUERY_THROW);
        const css::uno::Reference<css::beans::XPropertySet> cell(first->getCellByPosition(0, 0), css::uno::UNO_QUERY_THROW);
        rtl::OUString name;
        float height = 0;
        if ((cell->getPropertyValue("CharFontName") >>= name) && !name.isEmpty())
            family = toQString(name);
        if ((cell->getPropertyValue("CharHeight") >>= height) && height > 0)
            points = height;
    } catch (const css::uno::Exception &) {
        // Calc's usual default serves to rank texts just as well.
    }
    return std::make_unique<TextWidthEstimate>(family, points);
}

css::uno::Reference<css::awt::XWindow> documentWindow(const css::uno::Reference<css::sheet::XSpreadsheetView> &view)
{
    const css::uno::Reference<css::frame::XController> controller(view, css::uno::UNO_QUERY_THROW);
    return controller->getFrame()->getContainerWindow();
}

} // namespace

CalcDocument::CalcDocument(std::shared_ptr<OfficeSession> session,
                           css::uno::Reference<css::sheet::XSpreadsheetDocument> document)
    : m_session(std::move(session)),
      m_document(std::move(document)),
      m_buffer(cellBudget, [this](CellBlock &&block) { send(std::move(block)); }, firstBlockCells)
{
    m_sheets = m_document->getSheets();
    m_factory.set(m_document, css::uno::UNO_QUERY_THROW);
    m_formatKeys = std::make_unique<NumberFormatKeys>(
        css::uno::Reference<css::util::XNumberFormatsSupplier>(m_document, css::uno::UNO_QUERY_THROW));
    m_widthEstimate = cellFontEstimate(m_sheets);
    const css::uno::Reference<css::frame::XModel> model(m_document, css::uno::UNO_QUERY_THROW);
    m_view.set(model->getCurrentController(), css::uno::UNO_QUERY_THROW);
}

std::shared_ptr<CalcDocument> CalcDocument::create(std::shared_ptr<OfficeSession> session)
{
    const OfficeSession &office = *session;
    return callCalc(office, QStringLiteral("create a new workbook"), [&] {
        auto document = session->newHiddenWorkbook();
        return std::shared_ptr<CalcDocument>(new CalcDocument(std::move(session), std::move(document)));
    });
}

CalcDocument::~CalcDocument()
{
    try {
        flush();
    } catch (...) {
    }
}

int CalcDocument::sheetCount() const
{
    return call(QStringLiteral("count the worksheets"), [&] {
        return int(css::uno::Reference<css::container::XIndexAccess>(m_sheets, css::uno::UNO_QUERY_THROW)->getCount());
    });
}

SheetRef CalcDocument::sheetAt(int index) const
{
    return call(QStringLiteral("find worksheet number %1").arg(index + 1), [&] {
        const css::uno::Reference<css::container::XIndexAccess> byIndex(m_sheets, css::uno::UNO_QUERY_THROW);
        return SheetRef(byIndex->getByIndex(index), css::uno::UNO_QUERY_THROW);
    });
}

int CalcDocument::indexOf(const SheetRef &sheet) const
{
    return call(QStringLiteral("find the worksheet's position"), [&] {
        const css::uno::Reference<css::sheet::XCellRangeAddressable> range(sheet, css::uno::UNO_QUERY_THROW);
        return int(range->getRangeAddress().Sheet);
    });
}

QStringList CalcDocument::sheetNames() const
{
    return call(QStringLiteral("read the worksheet names"), [&] {
        QStringList names;
        const auto elementNames = m_sheets->getElementNames();
        for (const rtl::OUString &name : elementNames)
            names << toQString(name);
        return names;
    });
}

SheetRef CalcDocument::activeSheet() const
{
    return call(QStringLiteral("find the active worksheet"), [&] { return m_view->getActiveSheet(); });
}

void CalcDocument::activate(const SheetRef &sheet)
{
    call(QStringLiteral("activate the worksheet"), [&] { m_view->setActiveSheet(sheet); });
}

void CalcDocument::writeCell(const SheetRef &sheet, int row, int column, const excel::Cell &cell)
{
    // Comparing the proxies' addresses costs no call to the office; the
    // export writes one sheet at a time, so a false "different" is rare and
    // only costs an early send.
    if (sheet.get() != m_bufferedSheet.get()) {
        flush();
        m_bufferedSheet = sheet;
        m_bufferedWidths = &widthCandidatesOf(sheet);
    }
    m_bufferedWidths->note(row, column, cell.text);
    callCalc(*m_session, QStringLiteral("write the cells"), [&] { m_buffer.write(row, column, cell); });
}

void CalcDocument::flush()
{
    callCalc(*m_session, QStringLiteral("write the cells"), [&] { m_buffer.flush(); });
    m_sender.finish();
}

ColumnWidthCandidates &CalcDocument::widthCandidatesOf(const SheetRef &sheet)
{
    for (SheetWidths &known : m_sheetWidths) {
        if (known.sheet.get() == sheet.get())
            return known.candidates;
    }
    // Holding every sheet would keep as many objects alive in the office,
    // each of which it notifies of every change.
    if (m_sheetWidths.size() >= sheetsWithWidthCandidates) {
        m_sheetWidths.pop_front();
        m_droppedWidthCandidates = true;
    }
    m_sheetWidths.push_back({sheet, ColumnWidthCandidates(*m_widthEstimate), !m_droppedWidthCandidates});
    return m_sheetWidths.back().candidates;
}

// Every object written through for this sheet counts; the same sheet can
// come through several objects, and only its position tells.
std::vector<std::optional<std::vector<QString>>> CalcDocument::widthCandidates(const SheetRef &sheet, int count) const
{
    std::vector<std::optional<std::vector<QString>>> result(static_cast<std::size_t>(count), std::vector<QString>{});
    std::vector<bool> wholeColumn(std::size_t(count), false);
    std::vector<bool> written(std::size_t(count), false);
    const int position = indexOf(sheet);
    for (const SheetWidths &known : m_sheetWidths) {
        try {
            if (indexOf(known.sheet) != position)
                continue;
        } catch (const components::ComponentError &) {
            continue; // a sheet deleted since
        }
        for (int c = 1; c <= count; ++c) {
            const ColumnWidthCandidates::Column *column = known.candidates.column(c);
            if (!known.holdsEveryText)
                wholeColumn[std::size_t(c - 1)] = true;
            if (!column || column->lastRow == 0)
                continue;
            auto &texts = *result[std::size_t(c - 1)];
            wholeColumn[std::size_t(c - 1)] = wholeColumn[std::size_t(c - 1)] || column->rewritten || written[std::size_t(c - 1)];
            written[std::size_t(c - 1)] = true;
            texts.insert(texts.end(), column->texts.begin(), column->texts.end());
        }
    }
    // A column that may hold texts no longer kept, that was written twice,
    // or through more than one object is measured whole.
    for (std::size_t c = 0; c < result.size(); ++c) {
        if (wholeColumn[c] || result[c]->empty())
            result[c].reset();
    }
    return result;
}

void CalcDocument::fitColumns(const SheetRef &sheet, int count)
{
    flush();
    const auto candidates = widthCandidates(sheet, count);
    call(QStringLiteral("fit the column widths"), [&] { calc::fitColumns(m_session->desktop(), sheet, candidates); });
}

void CalcDocument::send(CellBlock &&block)
{
    m_sender.post([this, sheet = m_bufferedSheet, typed = typedBlock(block)] {
        callCalc(*m_session, QStringLiteral("write the cells"), [&] { writeTypedBlock(sheet, typed, *m_formatKeys, m_factory); });
    });
}

void CalcDocument::storeTo(const QString &url, const QString &filterName)
{
    flush();
    call(QStringLiteral("save the workbook"), [&] {
        std::array<css::beans::PropertyValue, 2> properties;
        properties[0].Name = "FilterName";
        properties[0].Value <<= toOUString(filterName);
        properties[1].Name = "Overwrite";
        properties[1].Value <<= true;
        const css::uno::Reference<css::frame::XStorable> storable(m_document, css::uno::UNO_QUERY_THROW);
        storable->storeToURL(toOUString(url), css::uno::Sequence<css::beans::PropertyValue>(properties.data(), 2));
    });
}

void CalcDocument::show()
{
    flush();
    setWindowVisible(true);
}

void CalcDocument::hide()
{
    setWindowVisible(false);
}

void CalcDocument::setWindowVisible(bool visible)
{
    call(visible ? QStringLiteral("show the workbook") : QStringLiteral("hide the workbook"), [&] {
        const auto window = documentWindow(m_view);
        window->setVisible(visible);
        if (visible) {
            const css::uno::Reference<css::awt::XTopWindow> topWindow(window, css::uno::UNO_QUERY);
            if (topWindow.is())
                topWindow->toFront();
        }
    });
}

} // namespace calc

#include "calc_inspection.h"

#include "calc_application.h"
#include "calc_document.h"
#include "worksheet_rules.h"
#include "uno_runtime.h"

#include <array>

#include <QUrl>
#include <com/sun/star/awt/XWindow2.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/TableSortField.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/XSortable.hpp>

// The component's members that only the read-back uses live here, so the
// program does not carry them.
namespace calc {

std::shared_ptr<CalcDocument> CalcApplication::lastDocument() const
{
    return m_documents.empty() ? nullptr : m_documents.back();
}

bool CalcDocument::isShown() const
{
    return call(QStringLiteral("look at the workbook's window"), [&] {
        const css::uno::Reference<css::frame::XController> controller(m_view, css::uno::UNO_QUERY_THROW);
        const css::uno::Reference<css::awt::XWindow2> window(controller->getFrame()->getContainerWindow(),
                                                              css::uno::UNO_QUERY_THROW);
        return bool(window->isVisible());
    });
}

} // namespace calc

namespace calc_inspection {

namespace {

using calc::CalcApplication;
using calc::CalcDocument;

const CalcApplication &ours(const excel::Application &application)
{
    const auto *calcApplication = dynamic_cast<const CalcApplication *>(&application);
    if (!calcApplication)
        throw components::ComponentError(QStringLiteral("The application was not created by the Calc component."));
    return *calcApplication;
}

std::shared_ptr<CalcDocument> lastDocument(const excel::Application &application)
{
    auto document = ours(application).lastDocument();
    if (!document)
        throw components::ComponentError(QStringLiteral("The application holds no workbook."));
    return document;
}

calc::SheetRef sheetNamed(const CalcDocument &document, const QString &name)
{
    return document.call(QStringLiteral("find the worksheet \"%1\"").arg(name), [&] {
        return calc::SheetRef(document.sheets()->getByName(calc::toOUString(name)), css::uno::UNO_QUERY_THROW);
    });
}

QVariant toVariant(const css::uno::Any &value)
{
    rtl::OUString text;
    if (value >>= text)
        return calc::toQString(text);
    double number = 0;
    if (value >>= number)
        return number;
    return QString();
}

QList<QList<ShownCell>> shownCellsOf(const calc::SheetRef &sheet, int firstRow, int firstColumn, int rowCount,
                                     int columnCount)
{
    QList<QList<ShownCell>> rows;
    for (int r = 0; r < rowCount; ++r) {
        QList<ShownCell> row;
        for (int c = 0; c < columnCount; ++c) {
            const auto cell = sheet->getCellByPosition(firstColumn - 1 + c, firstRow - 1 + r);
            ShownCell shown;
            switch (cell->getType()) {
            case css::table::CellContentType_VALUE: shown.type = ShownCell::Value; break;
            case css::table::CellContentType_TEXT: shown.type = ShownCell::Text; break;
            case css::table::CellContentType_FORMULA: shown.type = ShownCell::Formula; break;
            default: shown.type = ShownCell::Empty; break;
            }
            shown.value = cell->getValue();
            shown.shown = calc::toQString(css::uno::Reference<css::text::XText>(cell, css::uno::UNO_QUERY_THROW)->getString());
            row << shown;
        }
        rows << row;
    }
    return rows;
}

// A workbook file opened hidden and read-only, closed again however the
// reading ends.
template <class Read>
auto readFile(const excel::Application &application, const QString &fileName, Read read)
{
    const calc::OfficeSession &session = ours(application).session();
    return calc::callCalc(session, QStringLiteral("read the workbook file"), [&] {
        std::array<css::beans::PropertyValue, 2> properties;
        properties[0].Name = "Hidden";
        properties[0].Value <<= true;
        properties[1].Name = "ReadOnly";
        properties[1].Value <<= true;
        const auto component = session.desktop()->loadComponentFromURL(
            calc::toOUString(QUrl::fromLocalFile(fileName).toString(QUrl::FullyEncoded)), "_blank", 0,
            css::uno::Sequence<css::beans::PropertyValue>(properties.data(), 2));
        const css::uno::Reference<css::util::XCloseable> closeable(component, css::uno::UNO_QUERY_THROW);
        try {
            auto result = read(css::uno::Reference<css::sheet::XSpreadsheetDocument>(component, css::uno::UNO_QUERY_THROW));
            closeable->close(true);
            return result;
        } catch (...) {
            closeable->close(true);
            throw;
        }
    });
}

QList<SheetContents> contentsOf(const css::uno::Reference<css::sheet::XSpreadsheets> &sheets)
{
    const css::uno::Reference<css::container::XIndexAccess> byIndex(sheets, css::uno::UNO_QUERY_THROW);
    QList<SheetContents> contents;
    for (sal_Int32 i = 0; i < byIndex->getCount(); ++i) {
        const calc::SheetRef sheet(byIndex->getByIndex(i), css::uno::UNO_QUERY_THROW);
        SheetContents one;
        one.name = calc::toQString(css::uno::Reference<css::container::XNamed>(sheet, css::uno::UNO_QUERY_THROW)->getName());
        const css::uno::Reference<css::sheet::XUsedAreaCursor> cursor(sheet->createCursor(), css::uno::UNO_QUERY_THROW);
        cursor->gotoEndOfUsedArea(false);
        const auto end = css::uno::Reference<css::sheet::XCellRangeAddressable>(cursor, css::uno::UNO_QUERY_THROW)->getRangeAddress();
        const auto range = sheet->getCellRangeByPosition(0, 0, end.EndColumn, end.EndRow);
        const auto data = css::uno::Reference<css::sheet::XCellRangeData>(range, css::uno::UNO_QUERY_THROW)->getDataArray();
        for (sal_Int32 r = 0; r < data.getLength(); ++r) {
            QVariantList values;
            QStringList shown;
            for (sal_Int32 c = 0; c < data[r].getLength(); ++c) {
                values << toVariant(data[r][c]);
                // Only a number's text depends on its format.
                shown << (values.back().typeId() == QMetaType::Double
                              ? calc::toQString(css::uno::Reference<css::text::XText>(sheet->getCellByPosition(c, r),
                                                                                       css::uno::UNO_QUERY_THROW)->getString())
                              : values.back().toString());
            }
            one.cells << values;
            one.shown << shown;
        }
        const auto columns = css::uno::Reference<css::table::XColumnRowRange>(range, css::uno::UNO_QUERY_THROW)->getColumns();
        for (sal_Int32 c = 0; c <= end.EndColumn; ++c) {
            sal_Int32 width = 0;
            css::uno::Reference<css::beans::XPropertySet>(columns->getByIndex(c), css::uno::UNO_QUERY_THROW)
                    ->getPropertyValue("Width") >>= width;
            one.widths << int(width);
        }
        contents << one;
    }
    return contents;
}

} // namespace

QList<SheetContents> workbookContents(const excel::Application &application)
{
    const auto document = lastDocument(application);
    return document->call(QStringLiteral("read the workbook"), [&] { return contentsOf(document->sheets()); });
}

QList<SheetContents> fileContents(const excel::Application &application, const QString &fileName)
{
    return readFile(application, fileName, [](const css::uno::Reference<css::sheet::XSpreadsheetDocument> &document) {
        return contentsOf(document->getSheets());
    });
}

QList<QList<ShownCell>> fileShownCells(const excel::Application &application, const QString &fileName,
                                       const QString &sheetName, int rowCount, int columnCount)
{
    return readFile(application, fileName, [&](const css::uno::Reference<css::sheet::XSpreadsheetDocument> &document) {
        const calc::SheetRef sheet(document->getSheets()->getByName(calc::toOUString(sheetName)), css::uno::UNO_QUERY_THROW);
        return shownCellsOf(sheet, 1, 1, rowCount, columnCount);
    });
}

QList<QList<ShownCell>> shownCells(const excel::Application &application, const QString &sheetName, int firstRow,
                                   int firstColumn, int rowCount, int columnCount)
{
    const auto document = lastDocument(application);
    const calc::SheetRef sheet = sheetNamed(*document, sheetName);
    return document->call(QStringLiteral("read the cells"),
                          [&] { return shownCellsOf(sheet, firstRow, firstColumn, rowCount, columnCount); });
}

double formulaResult(const excel::Application &application, const QString &sheetName, const QString &formula)
{
    const auto document = lastDocument(application);
    const calc::SheetRef sheet = sheetNamed(*document, sheetName);
    return document->call(QStringLiteral("compute a formula"), [&] {
        const auto cell = sheet->getCellByPosition(excel::worksheetColumnLimit - 1, 0);
        cell->setFormula(calc::toOUString(formula));
        const double result = cell->getValue();
        cell->setFormula("");
        return result;
    });
}

void sortColumnByCalc(const excel::Application &application, const QString &sheetName, int column, int firstRow,
                      int lastRow)
{
    const auto document = lastDocument(application);
    const calc::SheetRef sheet = sheetNamed(*document, sheetName);
    document->call(QStringLiteral("sort the cells"), [&] {
        const css::uno::Reference<css::util::XSortable> range(
            sheet->getCellRangeByPosition(column - 1, firstRow - 1, column - 1, lastRow - 1), css::uno::UNO_QUERY_THROW);
        css::table::TableSortField field;
        field.Field = 0;
        field.IsAscending = true;
        std::array<css::beans::PropertyValue, 2> descriptor;
        descriptor[0].Name = "SortFields";
        descriptor[0].Value <<= css::uno::Sequence<css::table::TableSortField>(&field, 1);
        descriptor[1].Name = "ContainsHeader";
        descriptor[1].Value <<= false;
        range->sort(css::uno::Sequence<css::beans::PropertyValue>(descriptor.data(), 2));
    });
}

QStringList sheetNames(const excel::Application &application)
{
    return lastDocument(application)->sheetNames();
}

QString activeSheetName(const excel::Application &application)
{
    const auto document = lastDocument(application);
    const calc::SheetRef sheet = document->activeSheet();
    return document->call(QStringLiteral("read the active worksheet's name"), [&] {
        return calc::toQString(css::uno::Reference<css::container::XNamed>(sheet, css::uno::UNO_QUERY_THROW)->getName());
    });
}

QList<QVariantList> cellValues(const excel::Application &application, const QString &sheetName, int firstRow,
                               int firstColumn, int rowCount, int columnCount)
{
    const auto document = lastDocument(application);
    const calc::SheetRef sheet = sheetNamed(*document, sheetName);
    return document->call(QStringLiteral("read the cells"), [&] {
        const css::uno::Reference<css::sheet::XCellRangeData> range(
            sheet->getCellRangeByPosition(firstColumn - 1, firstRow - 1, firstColumn + columnCount - 2,
                                          firstRow + rowCount - 2),
            css::uno::UNO_QUERY_THROW);
        QList<QVariantList> rows;
        for (const auto &row : range->getDataArray()) {
            QVariantList values;
            for (const css::uno::Any &cell : row)
                values << toVariant(cell);
            rows << values;
        }
        return rows;
    });
}

QList<int> columnWidths(const excel::Application &application, const QString &sheetName, int firstColumn,
                        int columnCount)
{
    const auto document = lastDocument(application);
    const calc::SheetRef sheet = sheetNamed(*document, sheetName);
    return document->call(QStringLiteral("read the column widths"), [&] {
        const css::uno::Reference<css::table::XColumnRowRange> range(
            sheet->getCellRangeByPosition(firstColumn - 1, 0, firstColumn + columnCount - 2, 0),
            css::uno::UNO_QUERY_THROW);
        const auto columns = range->getColumns();
        QList<int> widths;
        for (int i = 0; i < columnCount; ++i) {
            const css::uno::Reference<css::beans::XPropertySet> column(columns->getByIndex(i), css::uno::UNO_QUERY_THROW);
            sal_Int32 width = 0;
            column->getPropertyValue("Width") >>= width;
            widths << int(width);
        }
        return widths;
    });
}

QList<int> fitColumnsByCalc(const excel::Application &application, const QString &sheetName, int firstColumn,
                            int columnCount)
{
    const auto document = lastDocument(application);
    document->flush();
    const calc::SheetRef sheet = sheetNamed(*document, sheetName);
    document->call(QStringLiteral("fit the column widths"), [&] {
        const css::uno::Reference<css::table::XColumnRowRange> range(
            sheet->getCellRangeByPosition(firstColumn - 1, 0, firstColumn + columnCount - 2, 0), css::uno::UNO_QUERY_THROW);
        css::uno::Reference<css::beans::XPropertySet>(range->getColumns(), css::uno::UNO_QUERY_THROW)
            ->setPropertyValue("OptimalWidth", css::uno::Any(true));
    });
    return columnWidths(application, sheetName, firstColumn, columnCount);
}

bool windowVisible(const excel::Application &application)
{
    return lastDocument(application)->isShown();
}

qint64 officeProcessId(const excel::Application &application)
{
    return ours(application).session().processId();
}

} // namespace calc_inspection

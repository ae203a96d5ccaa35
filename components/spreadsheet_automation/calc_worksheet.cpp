#include "calc_worksheet.h"

#include "uno_runtime.h"
#include "worksheet_rules.h"

#include <QLocale>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>

namespace calc {

namespace {

QString number(int n)
{
    return QLocale::system().toString(n);
}

} // namespace

void CalcColumns::AutoFit()
{
    m_worksheet.autoFitColumns();
}

CalcWorksheet::CalcWorksheet(std::shared_ptr<CalcDocument> document, SheetRef sheet)
    : m_document(std::move(document)), m_sheet(std::move(sheet))
{
}

const SheetRef &CalcWorksheet::sheet() const
{
    if (m_deleted)
        throw components::ComponentError(QStringLiteral("The worksheet has been deleted."));
    return m_sheet;
}

QString CalcWorksheet::Name() const
{
    const SheetRef &target = sheet();
    return m_document->call(QStringLiteral("read the worksheet's name"), [&] {
        return toQString(css::uno::Reference<css::container::XNamed>(target, css::uno::UNO_QUERY_THROW)->getName());
    });
}

void CalcWorksheet::setName(const QString &name)
{
    const SheetRef &target = sheet();
    m_document->flush();
    QStringList otherNames = m_document->sheetNames();
    otherNames.removeAt(m_document->indexOf(target));
    const QString refusal = excel::sheetNameRefusal(name, otherNames);
    if (!refusal.isEmpty())
        throw components::ComponentError(refusal);

    const QString given = m_document->call(QStringLiteral("rename the worksheet"), [&] {
        const css::uno::Reference<css::container::XNamed> named(target, css::uno::UNO_QUERY_THROW);
        named->setName(toOUString(name));
        return toQString(named->getName());
    });
    // Calc keeps the old name without a word when it dislikes the new one.
    if (given != name)
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc refused the worksheet name \"%1\"; the worksheet is still called \"%2\".")
                .arg(name, given));
}

void CalcWorksheet::setCells(int row, int column, const excel::Cell &cell)
{
    const SheetRef &target = sheet();
    if (row < 1 || row > excel::worksheetRowLimit)
        throw components::ComponentError(
            QStringLiteral("Row %1 cannot be written: a worksheet has rows 1 to %2 only.").arg(number(row), number(excel::worksheetRowLimit)));
    if (column < 1 || column > excel::worksheetColumnLimit)
        throw components::ComponentError(
            QStringLiteral("Column %1 cannot be written: a worksheet has columns 1 to %2 only.")
                .arg(number(column), number(excel::worksheetColumnLimit)));
    m_document->writeCell(target, row, column, cell);
}

void CalcWorksheet::finishWrites()
{
    sheet();
    m_document->flush();
}

void CalcWorksheet::Delete()
{
    sheet();
    m_document->flush();
    if (m_document->sheetCount() <= 1)
        throw components::ComponentError(
            QStringLiteral("The last worksheet of a workbook cannot be deleted: a workbook needs at least one."));
    const QString name = Name();
    m_document->call(QStringLiteral("delete the worksheet \"%1\"").arg(name),
                     [&] { m_document->sheets()->removeByName(toOUString(name)); });
    m_deleted = true;
}

void CalcWorksheet::autoFitColumns()
{
    const SheetRef &target = sheet();
    m_document->flush();
    // Only the columns in use: asking for all 16,384 costs time for nothing
    // and widens nothing.
    const int lastColumn = m_document->call(QStringLiteral("fit the column widths"), [&] {
        const css::uno::Reference<css::sheet::XUsedAreaCursor> cursor(target->createCursor(), css::uno::UNO_QUERY_THROW);
        cursor->gotoEndOfUsedArea(false);
        return int(css::uno::Reference<css::sheet::XCellRangeAddressable>(cursor, css::uno::UNO_QUERY_THROW)
                       ->getRangeAddress()
                       .EndColumn);
    });
    m_document->fitColumns(target, lastColumn + 1);
}

} // namespace calc

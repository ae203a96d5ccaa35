#include "xlsx_sheet.h"

#include "component_error.h"
#include "worksheet_rules.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace xlsx {
namespace {

// The most characters an .xlsx cell holds.
constexpr int cellTextLimit = 32767;
// 1900-03-01. Before it the .xlsx format counts a 29 February 1900 that
// never was, and Excel and Calc show the same number as different dates.
constexpr double firstUnambiguousDate = 61;

// The wizard's workbook: Calc's default cell font, its default column width
// (2.258 cm) and what its optimal width adds to the widest text.
const QString cellFontFamily = QStringLiteral("Liberation Sans");
constexpr double cellFontPoints = 10;
constexpr double defaultColumnPixels = 2258.0 / 2540.0 * 96.0;
constexpr double fittedExtraPixels = 8;
// The cells' records handed to the compressor at a time.
constexpr qsizetype recordsPiece = 1 << 17;

QString text(int n) { return QString::number(n); }

} // namespace

WorkbookParts::WorkbookParts(const QString &workingFolder)
    : m_file(workingFolder), m_widthEstimate(cellFontFamily, cellFontPoints)
{
}

QString WorkbookParts::folder() const { return QFileInfo(m_file.path()).absolutePath(); }

QString WorkbookParts::newBodyPath()
{
    return QDir(folder()).filePath(QStringLiteral("sheet-%1.rows").arg(++m_bodies));
}

int WorkbookParts::formatIndex(const QString &format)
{
    if (format.isEmpty())
        return -1;
    const auto known = m_formatIndex.constFind(format);
    if (known != m_formatIndex.constEnd())
        return *known;
    m_formats << format;
    return m_formatIndex[format] = int(m_formats.size() - 1);
}

XlsxSheet::XlsxSheet(QString name, const Context &parts)
    : m_name(std::move(name)),
      m_parts(parts),
      m_body(std::make_shared<SheetBody>(parts->newBodyPath(), rowPoints)),
      m_widthCandidates(parts->widthEstimate())
{
}

void XlsxSheet::write(int row, int column, const excel::Cell &cell)
{
    if (row < 1 || row > excel::worksheetRowLimit || column < 1 || column > excel::worksheetColumnLimit)
        throw components::ComponentError(QStringLiteral("Cell (%1, %2) is outside the worksheet: it has rows 1 to %3 "
                                                        "and columns 1 to %4.")
                                             .arg(text(row), text(column), text(excel::worksheetRowLimit),
                                                  text(excel::worksheetColumnLimit)));
    // The file is written row by row, top down, in one pass.
    if (row < m_lastRow)
        throw components::ComponentError(
            QStringLiteral("Row %1 of the worksheet \"%2\" cannot be written any more: row %3 below it has been "
                           "written.").arg(text(row), m_name, text(m_lastRow)));
    if (row <= m_endedRow)
        throw components::ComponentError(
            QStringLiteral("Row %1 of the worksheet \"%2\" cannot be written any more: the workbook has been saved.")
                .arg(text(row), m_name));
    m_lastRow = row;
    m_lastColumn = std::max(m_lastColumn, column);
    if (m_records.size() >= recordsPiece)
        m_parts->compressor().add(m_body, m_records.take());
    if (row == 1) {
        while (m_header.size() < column)
            m_header << QString();
        m_header[column - 1] = cell.text;
    }
    m_widthCandidates.note(row, column, cell.text);

    switch (cell.kind) {
    case excel::Cell::Text:
        break;
    case excel::Cell::Date:
        if (cell.number < firstUnambiguousDate)
            break;
        [[fallthrough]];
    case excel::Cell::Number:
    case excel::Cell::Time:
        // The library's cell formats: its default first, then ours.
        m_records.number(row, column, cell.number, m_parts->formatIndex(cell.format) + 1);
        return;
    case excel::Cell::Boolean:
        m_records.boolean(row, column, cell.number != 0);
        return;
    }
    // An empty text is an empty cell, which the file leaves out.
    if (cell.text.isEmpty())
        return;
    if (cell.text.size() <= cellTextLimit) {
        m_records.text(row, column, cell.text);
        return;
    }
    // Never half of a character outside the first plane.
    const qsizetype kept = cell.text.at(cellTextLimit - 1).isHighSurrogate() ? cellTextLimit - 1 : cellTextLimit;
    m_records.text(row, column, cell.text.left(kept));
    if (std::exchange(m_cutReported, true))
        return;
    throw components::ComponentError(
        QStringLiteral("A text of %1 characters in the column %2, row %3 of the worksheet \"%4\", was cut to the "
                       "%5 characters an .xlsx cell holds; so were any longer texts after it in the worksheet.")
            .arg(text(int(cell.text.size())), columnName(column), text(row), m_name, text(cellTextLimit)));
}

void XlsxSheet::flushRowsLeft()
{
    m_parts->compressor().add(m_body, m_records.take(), RowsOut::Complete);
    m_parts->compressor().finish();
}

std::shared_ptr<const SheetBody> XlsxSheet::endRows()
{
    m_parts->compressor().add(m_body, m_records.take(), RowsOut::All);
    m_endedRow = m_lastRow;
    return m_body;
}

QString XlsxSheet::columnName(int column) const
{
    if (column <= m_header.size() && !m_header[column - 1].isEmpty())
        return u'"' + m_header[column - 1] + u'"';
    return text(column);
}

void XlsxSheet::autoFit()
{
    m_fittedPixels.assign(std::size_t(m_lastColumn), defaultColumnPixels);
    for (int c = 1; c <= m_lastColumn; ++c) {
        const column_widths::ColumnWidthCandidates::Column *texts = m_widthCandidates.column(c);
        if (texts && !texts->widths.empty())
            m_fittedPixels[std::size_t(c - 1)] =
                *std::max_element(texts->widths.begin(), texts->widths.end()) + fittedExtraPixels;
    }
}

std::vector<double> XlsxSheet::columnPixels() const
{
    std::vector<double> pixels = m_fittedPixels;
    pixels.resize(std::size_t(m_lastColumn), defaultColumnPixels);
    return pixels;
}

} // namespace xlsx

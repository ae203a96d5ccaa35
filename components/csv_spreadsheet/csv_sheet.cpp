#include "csv_sheet.h"

#include "component_error.h"
#include "csv_record.h"
#include "worksheet_rules.h"

#include <QDir>

namespace csv {
namespace {

// Large enough that the file system sees few writes, small enough to be
// nothing beside the rows themselves.
constexpr qsizetype sendAt = 1 << 16;

} // namespace

CsvSheet::CsvSheet(QString name, const QString &workingFolder)
    : m_name(std::move(name)), m_file(workingFolder), m_out(m_file.path())
{
    if (!m_out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                             .arg(QDir::toNativeSeparators(m_file.path()), m_out.errorString()));
}

void CsvSheet::write(int row, int column, const excel::Cell &cell)
{
    if (m_saved)
        throw components::ComponentError(QStringLiteral("The worksheet \"%1\" has been saved already.").arg(m_name));
    if (row < 1 || row > excel::worksheetRowLimit || column < 1 || column > excel::worksheetColumnLimit)
        throw components::ComponentError(QStringLiteral("Cell (%1, %2) is outside the worksheet: it has rows 1 to %3 "
                                                        "and columns 1 to %4.")
                                             .arg(row).arg(column).arg(excel::worksheetRowLimit)
                                             .arg(excel::worksheetColumnLimit));
    if (row < m_row)
        throw components::ComponentError(
            QStringLiteral("Row %1 of the worksheet \"%2\" cannot be written again: it is in its file already.")
                .arg(row).arg(m_name));
    while (m_row < row)
        leaveRow();
    if (std::size_t(column) > m_cells.size())
        m_cells.resize(std::size_t(column));
    m_cells[std::size_t(column - 1)] = cell.text;
}

void CsvSheet::leaveRow()
{
    appendRecord(m_pending, m_cells);
    m_cells.clear();
    ++m_row;
    if (m_pending.size() >= sendAt)
        send();
}

void CsvSheet::send()
{
    if (m_out.write(m_pending) != m_pending.size())
        throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                             .arg(QDir::toNativeSeparators(m_file.path()), m_out.errorString()));
    m_pending.clear();
}

void CsvSheet::flushRowsLeft() { send(); }

void CsvSheet::save(const QString &fileName)
{
    if (!m_cells.empty())
        leaveRow();
    send();
    m_out.close();
    m_file.complete(fileName);
    m_saved = true;
}

} // namespace csv

#include "csv_sheet.h"

#include "component_error.h"
#include "csv_record.h"
#include "full_disk.h"
#include "worksheet_rules.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace csv {
namespace {

// Large enough that the file system sees few writes, small enough to be
// nothing beside the rows themselves.
constexpr qsizetype sendAt = 1 << 16;

} // namespace

CsvSheet::CsvSheet(QString name, const QString &workingFolder)
    : m_name(std::move(name)), m_file(workingFolder), m_out(m_file.path())
{
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
    if (m_pending.isEmpty())
        return;
    if (!m_out.isOpen() && !m_out.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                             .arg(QDir::toNativeSeparators(m_file.path()), m_out.errorString()));
    // Written here rather than through QFile, which calls a short write an
    // "Unknown error": the system's own reason is wanted.
    const char *at = m_pending.constData();
    qsizetype left = m_pending.size();
    while (left > 0) {
        const ssize_t n = ::write(m_out.handle(), at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failWrite(n < 0 ? errno : ENOSPC, left);
        at += n;
        left -= n;
    }
    m_pending.clear();
}

// A full disk fails every later table the same way: it is said once, where
// and how much, and the export ends there. The files complete before it
// filled need no room to take their names.
void CsvSheet::failWrite(int error, qsizetype left)
{
    if (components::meansFullDisk(error)) {
        const QString outputFolder = QFileInfo(QFileInfo(m_file.path()).absolutePath()).absolutePath();
        throw components::ComponentFull(components::fullDiskText(outputFolder, left));
    }
    throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                         .arg(QDir::toNativeSeparators(m_file.path()),
                                              QString::fromLocal8Bit(std::strerror(error))));
}

void CsvSheet::flushRowsLeft()
{
    send();
    m_out.close();
}

void CsvSheet::finish()
{
    if (!m_cells.empty())
        leaveRow();
    flushRowsLeft();
    m_saved = true;
}

QString CsvSheet::previousPath() const { return QFileInfo(m_file.path()).dir().filePath(QStringLiteral("previous")); }

void CsvSheet::replace(const QString &fileName)
{
    m_replaced = fileName;
    // Only a file is put aside: a folder of that name would go with ours.
    struct stat held {};
    if (::lstat(QFile::encodeName(fileName).constData(), &held) == 0 && !S_ISREG(held.st_mode))
        throw components::ComponentError(
            QStringLiteral("The file %1 could not be written: something other than a file has that name.")
                .arg(QDir::toNativeSeparators(fileName)));
    m_hadPrevious = ::rename(QFile::encodeName(fileName).constData(), QFile::encodeName(previousPath()).constData()) == 0;
    const int error = m_hadPrevious ? 0 : errno;
    if (error != 0 && error != ENOENT)
        throw components::ComponentError(QStringLiteral("The file %1 could not be replaced: %2.")
                                             .arg(QDir::toNativeSeparators(fileName), QString::fromLocal8Bit(std::strerror(error))));
    try {
        m_file.complete(fileName);
    } catch (const components::ComponentError &) {
        restorePrevious();
        throw;
    }
}

void CsvSheet::restorePrevious()
{
    const QByteArray replaced = QFile::encodeName(m_replaced);
    if (m_hadPrevious)
        ::rename(QFile::encodeName(previousPath()).constData(), replaced.constData());
    else
        ::unlink(replaced.constData());
}

} // namespace csv

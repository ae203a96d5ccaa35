#include "command_line_window.h"

#include "platform.h"

#include <algorithm>

namespace command_line {

CommandLineWindow::CommandLineWindow(QStringList tables, bool showProgress)
    : m_tables(std::move(tables)), m_progress(showProgress)
{
}

bool CommandLineWindow::entryTicked(int entry) const
{
    m_current = entry;
    m_progress.startTable(m_tables.at(entry - 1));
    return true;
}

void CommandLineWindow::rowReached(int row, int rows)
{
    m_recordsReached.insert(m_current);
    m_progress.rowReached(row, rows);
}

void CommandLineWindow::yieldToEvents() { frame::DoEvents(); }

void CommandLineWindow::failureReported()
{
    if (m_current == 0)
        m_failedBeforeTables = true;
    else
        m_failed.insert(m_current);
}

int CommandLineWindow::tablesExported() const { return m_current - int(m_failed.size()); }

int CommandLineWindow::tablesWritten() const
{
    const auto written = std::count_if(m_failed.begin(), m_failed.end(),
                                       [this](int table) { return m_recordsReached.count(table) > 0; });
    return tablesExported() + int(written);
}

} // namespace command_line

#include "command_line_window.h"

#include "platform.h"

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

void CommandLineWindow::yieldToEvents() { frame::DoEvents(); }

void CommandLineWindow::failureReported()
{
    if (m_current == 0)
        m_failedBeforeTables = true;
    else
        m_failed.insert(m_current);
}

int CommandLineWindow::tablesExported() const { return m_current - int(m_failed.size()); }

} // namespace command_line

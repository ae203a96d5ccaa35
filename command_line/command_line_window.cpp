#include "command_line_window.h"

#include "platform.h"

namespace command_line {

CommandLineWindow::CommandLineWindow(QStringList tables, QString listedDatabase, bool showProgress)
    : m_tables(std::move(tables)), m_listedDatabase(std::move(listedDatabase)), m_progress(showProgress)
{
}

bool CommandLineWindow::entryTicked(int entry) const
{
    m_progress.startTable(m_tables.at(entry - 1));
    return true;
}

void CommandLineWindow::yieldToEvents() { frame::DoEvents(); }

} // namespace command_line

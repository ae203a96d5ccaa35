#pragma once

#include "export_progress.h"
#include "export_window.h"

#include <QStringList>

namespace command_line {

// The export's window when there is none: the tables to export as a list
// with every entry ticked, and progress on standard error. The export asks
// for each entry's tick just before it exports that table.
class CommandLineWindow : public ExportWindow {
public:
    CommandLineWindow(QStringList tables, QString listedDatabase, bool showProgress);

    int entryCount() const override { return int(m_tables.size()); }
    bool entryTicked(int entry) const override;
    QString entryText(int entry) const override { return m_tables.at(entry - 1); }
    QString listedDatabase() const override { return m_listedDatabase; }

    void setProgressPercent(double) override {}
    void setProgressText(const QString &) override {}
    void setProgressTextMaker(std::function<QString()>) override {}
    void rowReached(int row, int rows) override { m_progress.rowReached(row, rows); }

    void setPointer(int) override {}
    bool busy() const override { return m_busy; }
    void setBusy(bool busy) override { m_busy = busy; }
    void restoreIfMinimized() override {}
    // Termination signals are taken in through the event loop.
    void yieldToEvents() override;

    ExportProgress &progress() { return m_progress; }

private:
    QStringList m_tables;
    QString m_listedDatabase;
    mutable ExportProgress m_progress;
    bool m_busy = false;
};

} // namespace command_line

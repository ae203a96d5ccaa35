#pragma once

#include "export_progress.h"
#include "export_window.h"

#include <QStringList>
#include <set>

namespace command_line {

// The export's window when there is none: the tables to export as a list
// with every entry ticked, progress on standard error, and a record of
// which tables failed. The export asks for each entry's tick just before
// it exports that table, so a failure reported from then on is that
// table's.
class CommandLineWindow : public ExportWindow {
public:
    CommandLineWindow(QStringList tables, bool showProgress);

    int entryCount() const override { return int(m_tables.size()); }
    bool entryTicked(int entry) const override;
    QString entryText(int entry) const override { return m_tables.at(entry - 1); }

    void setProgressPercent(double) override {}
    void setProgressText(const QString &) override {}
    void setProgressTextMaker(std::function<QString()>) override {}
    void rowReached(int row, int rows) override;

    void setPointer(int) override {}
    bool busy() const override { return m_busy; }
    void setBusy(bool busy) override { m_busy = busy; }
    void restoreIfMinimized() override {}
    // Termination signals are taken in through the event loop.
    void yieldToEvents() override;

    ExportProgress &progress() { return m_progress; }
    // Called for every failure reported.
    void failureReported();
    // Tables reached and not failed, and whether any failure came before
    // the first table.
    int tablesExported() const;
    // Tables in the workbook: besides those exported, those that failed
    // once their records were being written (values lost on the way, a
    // database gone mid-table), whose records up to there are kept.
    int tablesWritten() const;
    bool failedBeforeTables() const { return m_failedBeforeTables; }

private:
    QStringList m_tables;
    mutable ExportProgress m_progress;
    mutable int m_current = 0;
    std::set<int> m_failed;
    std::set<int> m_recordsReached;
    bool m_failedBeforeTables = false;
    bool m_busy = false;
};

} // namespace command_line

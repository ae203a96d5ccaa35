#pragma once

#include <QElapsedTimer>
#include <QString>

namespace command_line {

// One line on standard error, rewritten in place a few times a second: the
// table, the rows done of its rows, the rate. Shown only on a terminal, so
// scripts and logs get nothing but the failure lines.
class ExportProgress {
public:
    explicit ExportProgress(bool shown) : m_shown(shown) {}

    void startTable(const QString &name);
    void rowReached(int row, int rows);
    // Storing a large workbook takes the office a while of its own.
    void saving(const QString &fileName);
    // Removes the line, so another can be written in its place.
    void clear();

private:
    void show();
    void showLine(const QString &line);

    bool m_shown;
    QString m_table;
    int m_row = 0;
    int m_rows = 0;
    QElapsedTimer m_tableClock;
    QElapsedTimer m_shownClock;
    bool m_lineShown = false;
};

} // namespace command_line

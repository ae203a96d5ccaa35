#pragma once

#include "spreadsheet_cell.h"
#include "unfinished_file.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>

namespace csv {

// One worksheet as a CSV file in the making. Rows are written to the file as
// the next row begins, so a table of any size costs one row of memory; a
// row, once left, cannot be written again. Cells of the row being written
// may come in any order. The file is open only while its rows are being
// written: a workbook of a thousand sheets holds one descriptor, not a
// thousand.
class CsvSheet {
public:
    // The folder the files take shape in.
    using Context = QString;

    CsvSheet(QString name, const QString &workingFolder);

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // Row and column from 1, within the worksheet limits. A text file holds
    // what each cell shows.
    void write(int row, int column, const excel::Cell &cell);
    // Every row left so far is in the file, which is closed until the next
    // write; a failed write is reported here.
    void flushRowsLeft();
    // Text files have no column widths.
    void autoFit() {}
    // Completes the file, still under its unfinished name.
    void finish();
    // Gives the finished file its real name, keeping aside whatever had that
    // name until the workbook is gone, so that restorePrevious() can bring it
    // back.
    void replace(const QString &fileName);
    void restorePrevious();

private:
    void leaveRow();
    void send();
    [[noreturn]] void failWrite(int error, qsizetype left);
    QString previousPath() const;

    QString m_name;
    components::UnfinishedFile m_file;
    QFile m_out;
    int m_row = 1;
    std::vector<QString> m_cells;
    QByteArray m_pending;
    bool m_saved = false;
    QString m_replaced;
    bool m_hadPrevious = false;
};

} // namespace csv

#pragma once

#include "sheet_rows_xml.h"

#include <QByteArray>
#include <QString>

namespace xlsx {

// Cells on their way from the export to the thread that makes them the
// file's XML: a few bytes each, in the order they were written, so that
// reading the table is all the export's own thread does.
class CellRecords {
public:
    void text(int row, int column, QStringView text);
    void number(int row, int column, double value, int style);
    void boolean(int row, int column, bool value);

    qsizetype size() const { return m_bytes.size(); }
    QByteArray take();

    // The cells of records into rows, in the order they were written.
    static void replay(const QByteArray &records, SheetRowsXml &rows);

private:
    QByteArray m_bytes;
};

} // namespace xlsx

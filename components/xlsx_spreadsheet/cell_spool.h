#pragma once

#include "spreadsheet_cell.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace xlsx {

// One worksheet's cells kept in a file of their own until the workbook is
// stored: the .xlsx writer takes sheets in tab order only, which is known
// at the end, and a table of any size then costs no memory on the way.
class CellSpool {
public:
    // A cell as it comes back: text in UTF-8 for Text cells; for the others
    // the number and the index of its number format (-1: general).
    struct Cell {
        int row = 0;
        int column = 0;
        excel::Cell::Kind kind = excel::Cell::Text;
        QByteArray text;
        double number = 0;
        int format = -1;
    };

    // The file is made at path and removed with the spool.
    explicit CellSpool(QString path);
    ~CellSpool();
    CellSpool(const CellSpool &) = delete;
    CellSpool &operator=(const CellSpool &) = delete;

    void appendText(int row, int column, const QString &text);
    void appendValue(int row, int column, excel::Cell::Kind kind, double number, int format);
    // Every cell appended so far is in the file; a failed write throws here.
    void flush();
    // Every cell in the order appended.
    void replay(const std::function<void(const Cell &)> &take);

private:
    void appendHead(int row, int column, excel::Cell::Kind kind);

    QString m_path;
    QByteArray m_pending;
};

} // namespace xlsx

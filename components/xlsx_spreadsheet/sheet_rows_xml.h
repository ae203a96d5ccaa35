#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace xlsx {

// A worksheet's rows as the XML of its <sheetData>, written as the cells
// come, character for character as libxlsxwriter writes them in its
// constant-memory mode: the library formats every cell with printf and
// passes it through two temporary files before compressing it, which cost
// three times what reading the table did.
class SheetRowsXml {
public:
    // Every row gets the height given in points.
    explicit SheetRowsXml(double rowPoints);

    // Rows and columns from 1, never into a row above the current one.
    // A cell written again in the current row replaces the one before.
    void text(int row, int column, QStringView text);
    // Style 0 is the default; others are the library's cell format index.
    void number(int row, int column, double value, int style);
    void boolean(int row, int column, bool value);

    // Ends the current row: a cell for it after this would start it anew.
    void endRow();
    // The XML of the rows ended so far, taken away.
    qsizetype endedSize() const { return m_ended.size(); }
    QByteArray takeEnded();

    bool hasCells() const { return m_lastRow > 0; }
    // The range the cells span, from 1.
    int firstRow() const { return m_firstRow; }
    int lastRow() const { return m_lastRow; }
    int firstColumn() const { return m_firstColumn; }
    int lastColumn() const { return m_lastColumn; }

private:
    struct Piece {
        int column;
        qsizetype begin;
        qsizetype end;
    };
    void startCell(int row, int column);
    void endCell() { m_pieces.back().end = m_row.size(); }
    const QByteArray &columnName(int column);

    QByteArray m_rowTagEnd;
    QByteArray m_ended;
    QByteArray m_row;
    std::vector<Piece> m_pieces;
    std::vector<QByteArray> m_columnNames;
    int m_currentRow = 0;
    int m_firstRow = 0;
    int m_lastRow = 0;
    int m_firstColumn = 0;
    int m_lastColumn = 0;
};

} // namespace xlsx

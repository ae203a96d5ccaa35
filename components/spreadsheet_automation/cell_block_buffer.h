#pragma once

#include "spreadsheet_cell.h"

#include <cstddef>
#include <functional>
#include <map>
#include <vector>

namespace calc {

// A rectangle of cells, rows from firstRow down, columns from firstColumn
// right (both from 1); every row has the same number of cells.
struct CellBlock {
    int firstRow = 1;
    int firstColumn = 1;
    std::vector<std::vector<excel::Cell>> rows;
};

// Collects cells written one at a time and hands them on as rectangles, so
// Calc gets one bulk call per block: a call per cell costs about fifty times
// the time of the cell itself. Cells written row by row, as the export does,
// become one rectangle per block of rows. Memory stays bounded by the cell
// budget, whatever the size of the table.
class CellBlockBuffer {
public:
    using Sink = std::function<void(CellBlock &&block)>;

    // With firstBlockCells, the first block after a flush() is sent once it
    // holds that many cells, and each next one twice as many, up to the
    // budget: the receiver gets to work early instead of waiting for a
    // whole block. Without it every block takes the whole budget.
    CellBlockBuffer(std::size_t cellBudget, Sink sink, std::size_t firstBlockCells = 0);

    // May hand the buffered cells to the sink first (when the budget is
    // spent, or the cell cannot join them); what the sink throws passes on.
    void write(int row, int column, const excel::Cell &cell);
    // The buffered cells are taken out before the sink sees them: when the
    // sink fails they are not sent a second time.
    void flush();
    void discard();
    bool isEmpty() const { return m_runs.empty(); }

private:
    // The cells of one row written so far, left to right without a gap.
    struct Run {
        int firstColumn = 1;
        std::vector<excel::Cell> cells;
    };

    void send();

    std::size_t m_cellBudget;
    std::size_t m_firstBlockCells;
    std::size_t m_blockCells;
    Sink m_sink;
    std::map<int, Run> m_runs;
    std::map<int, Run>::iterator m_last = m_runs.end();
    std::size_t m_cellCount = 0;
};

} // namespace calc

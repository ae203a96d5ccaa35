#include "cell_block_buffer.h"

#include <algorithm>
#include <utility>

namespace calc {

CellBlockBuffer::CellBlockBuffer(std::size_t cellBudget, Sink sink, std::size_t firstBlockCells)
    : m_cellBudget(cellBudget),
      m_firstBlockCells(firstBlockCells > 0 ? std::min(firstBlockCells, cellBudget) : cellBudget),
      m_blockCells(m_firstBlockCells),
      m_sink(std::move(sink))
{
}

void CellBlockBuffer::write(int row, int column, const excel::Cell &cell)
{
    // Tables are written row by row: the row asked for is nearly always the
    // one written last, found without a search.
    auto it = m_last != m_runs.end() && m_last->first == row ? m_last : m_runs.find(row);
    if (it != m_runs.end()) {
        Run &run = it->second;
        const int end = run.firstColumn + int(run.cells.size());
        if (column >= run.firstColumn && column < end) {
            run.cells[std::size_t(column - run.firstColumn)] = cell;
            return;
        }
        // Writes that do not extend the row to the right would leave a gap
        // (or need cells on the left) that a rectangle cannot carry without
        // overwriting cells nobody wrote: send what we have and start over.
        if (column != end || m_cellCount >= 2 * m_cellBudget) {
            send();
            it = m_runs.end();
        } else {
            run.cells.push_back(cell);
            ++m_cellCount;
            return;
        }
    }
    // Blocks end at a row boundary, so a table written row by row becomes
    // whole rectangles.
    const std::size_t expectedWidth = m_last != m_runs.end() ? m_last->second.cells.size() : 1;
    if (m_cellCount >= m_blockCells) {
        send();
        m_blockCells = std::min(2 * m_blockCells, m_cellBudget);
    }
    m_last = m_runs.emplace(row, Run{column, {}}).first;
    m_last->second.cells.reserve(expectedWidth);
    m_last->second.cells.push_back(cell);
    ++m_cellCount;
}

void CellBlockBuffer::flush()
{
    m_blockCells = m_firstBlockCells;
    send();
}

void CellBlockBuffer::send()
{
    if (m_runs.empty())
        return;
    std::map<int, Run> runs;
    runs.swap(m_runs);
    m_last = m_runs.end();
    m_cellCount = 0;

    CellBlock block;
    int nextRow = 0;
    std::size_t width = 0;
    for (auto &[row, run] : runs) {
        const bool joins = !block.rows.empty() && row == nextRow
            && run.firstColumn == block.firstColumn && run.cells.size() == width;
        if (!joins) {
            if (!block.rows.empty())
                m_sink(std::exchange(block, CellBlock{}));
            block.firstRow = row;
            block.firstColumn = run.firstColumn;
            width = run.cells.size();
        }
        block.rows.push_back(std::move(run.cells));
        nextRow = row + 1;
    }
    m_sink(std::move(block));
}

void CellBlockBuffer::discard()
{
    m_blockCells = m_firstBlockCells;
    m_runs.clear();
    m_last = m_runs.end();
    m_cellCount = 0;
}

} // namespace calc

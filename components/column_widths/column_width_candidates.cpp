#include "column_width_candidates.h"

#include <algorithm>

namespace column_widths {

void ColumnWidthCandidates::note(int row, int column, const QString &text)
{
    if (std::size_t(column) > m_columns.size())
        m_columns.resize(std::size_t(column));
    Column &kept = m_columns[std::size_t(column - 1)];
    // Tables are written row by row, top down: a row not below the last one
    // may be a cell written again.
    if (row <= kept.lastRow)
        kept.rewritten = true;
    kept.lastRow = row;
    if (text.isEmpty() || kept.rewritten)
        return;
    const float width = m_estimate.width(text);
    const bool full = kept.texts.size() >= keptPerColumn;
    if (full && width <= *std::min_element(kept.widths.begin(), kept.widths.end()))
        return;
    if (std::find(kept.texts.begin(), kept.texts.end(), text) != kept.texts.end())
        return;
    if (full) {
        const auto narrowest = std::min_element(kept.widths.begin(), kept.widths.end()) - kept.widths.begin();
        kept.texts[std::size_t(narrowest)] = text;
        kept.widths[std::size_t(narrowest)] = width;
    } else {
        kept.texts.push_back(text);
        kept.widths.push_back(width);
    }
}

const ColumnWidthCandidates::Column *ColumnWidthCandidates::column(int column) const
{
    if (column < 1 || std::size_t(column) > m_columns.size())
        return nullptr;
    return &m_columns[std::size_t(column - 1)];
}

} // namespace column_widths

#pragma once

#include "text_width_estimate.h"

#include <QString>
#include <vector>

namespace column_widths {

// The texts written into one worksheet that may be its columns' widest,
// kept while the cells are written: fitting the columns then measures a few
// texts per column instead of every cell.
class ColumnWidthCandidates {
public:
    struct Column {
        // The widest few texts by estimate, each once.
        std::vector<QString> texts;
        std::vector<float> widths;
        int lastRow = 0;
        // A cell was written twice: a text kept here may be gone from the
        // sheet, so the column has to be measured whole.
        bool rewritten = false;
    };

    explicit ColumnWidthCandidates(const TextWidthEstimate &estimate) : m_estimate(estimate) {}

    // Row and column from 1.
    void note(int row, int column, const QString &text);
    // Column from 1; null for a column nothing was written into.
    const Column *column(int column) const;

    // The texts ranked close to the widest by estimate are all kept, up to
    // this many: estimates miss the spreadsheet's kerning and hinting by a few per
    // cent, never the ranking of texts a character apart.
    static constexpr std::size_t keptPerColumn = 4;

private:
    const TextWidthEstimate &m_estimate;
    std::vector<Column> m_columns;
};

} // namespace column_widths

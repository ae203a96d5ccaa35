#pragma once

#include "cell_spool.h"
#include "column_width_candidates.h"
#include "unfinished_file.h"

#include <QHash>
#include <QStringList>
#include <memory>
#include <vector>

namespace xlsx {

// What the worksheets of one workbook share: the .xlsx file in the making,
// whose folder also keeps every sheet's cells until it is stored, the font
// the columns are measured in, and the number formats, each once.
class WorkbookParts {
public:
    explicit WorkbookParts(const QString &workingFolder);

    const components::UnfinishedFile &file() const { return m_file; }
    components::UnfinishedFile &file() { return m_file; }
    // The file's folder, where everything else made on the way goes too.
    QString folder() const;
    QString newSpoolPath();
    const column_widths::TextWidthEstimate &widthEstimate() const { return m_widthEstimate; }
    // The index of the format among formats(); -1 for the general format.
    int formatIndex(const QString &format);
    const QStringList &formats() const { return m_formats; }

private:
    components::UnfinishedFile m_file;
    column_widths::TextWidthEstimate m_widthEstimate;
    QStringList m_formats;
    QHash<QString, int> m_formatIndex;
    int m_spools = 0;
};

// One worksheet of an .xlsx workbook in the making. Its cells go to a spool
// file as they come, top down (a row above the last one written cannot be
// written again), so a table of any size costs a few texts per column of
// memory: the candidates for its column widths.
class XlsxSheet {
public:
    using Context = std::shared_ptr<WorkbookParts>;

    XlsxSheet(QString name, const Context &parts);

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // Row and column from 1, within the worksheet limits. A text longer than
    // an .xlsx cell holds is kept cut to that length, and the first of the
    // sheet throws after it is kept, so the loss is said.
    void write(int row, int column, const excel::Cell &cell);
    void flushRowsLeft() { m_cells.flush(); }
    // Fits the columns to the texts written so far, as Calc's optimal width
    // does.
    void autoFit();

    CellSpool &cells() { return m_cells; }
    // Columns 1 to the last one written, in pixels of the screen.
    std::vector<double> columnPixels() const;

private:
    QString columnName(int column) const;

    QString m_name;
    Context m_parts;
    CellSpool m_cells;
    column_widths::ColumnWidthCandidates m_widthCandidates;
    std::vector<double> m_fittedPixels;
    QStringList m_header;
    int m_lastRow = 0;
    int m_lastColumn = 0;
    bool m_cutReported = false;
};

} // namespace xlsx

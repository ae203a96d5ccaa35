#pragma once

#include "column_width_candidates.h"
#include "sheet_body.h"
#include "cell_records.h"
#include "spreadsheet_cell.h"
#include "unfinished_file.h"

#include <QHash>
#include <QStringList>
#include <memory>
#include <vector>

namespace xlsx {

// The height of a row in the cells' font: the library's default suits
// Calibri 11.
constexpr double rowPoints = 12.75;

// What the worksheets of one workbook share: the .xlsx file in the making,
// whose folder also keeps every sheet's rows until it is stored, the thread
// that compresses them, the font the columns are measured in, and the
// number formats, each once.
class WorkbookParts {
public:
    explicit WorkbookParts(const QString &workingFolder);

    const components::UnfinishedFile &file() const { return m_file; }
    components::UnfinishedFile &file() { return m_file; }
    // The file's folder, where everything else made on the way goes too.
    QString folder() const;
    QString newBodyPath();
    BodyCompressor &compressor() { return m_compressor; }
    const column_widths::TextWidthEstimate &widthEstimate() const { return m_widthEstimate; }
    // The index of the format among formats(), in the order of first use;
    // -1 for the general format.
    int formatIndex(const QString &format);
    const QStringList &formats() const { return m_formats; }

private:
    components::UnfinishedFile m_file;
    column_widths::TextWidthEstimate m_widthEstimate;
    QStringList m_formats;
    QHash<QString, int> m_formatIndex;
    int m_bodies = 0;
    // Stopped before the file's folder goes.
    BodyCompressor m_compressor;
};

// One worksheet of an .xlsx workbook in the making. Its cells go, as they
// come, top down (a row above the last one written cannot be written
// again), to be made the file's XML and compressed into a file of their own
// on the compressor's thread, so a table of any size costs a few texts per
// column of memory: the candidates for its column widths.
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
    // Everything written so far is compressed into its file; a failure to
    // write it throws here.
    void flushRowsLeft();
    // Fits the columns to the texts written so far, as Calc's optimal width
    // does.
    void autoFit();

    // Ends the rows for the file: nothing can be written into them after.
    // The body holds them once the compressor has finished.
    std::shared_ptr<const SheetBody> endRows();
    // Columns 1 to the last one written, in pixels of the screen.
    std::vector<double> columnPixels() const;

private:
    QString columnName(int column) const;

    QString m_name;
    Context m_parts;
    CellRecords m_records;
    std::shared_ptr<SheetBody> m_body;
    column_widths::ColumnWidthCandidates m_widthCandidates;
    std::vector<double> m_fittedPixels;
    QStringList m_header;
    int m_lastRow = 0;
    int m_lastColumn = 0;
    int m_endedRow = 0;
    bool m_cutReported = false;
};

} // namespace xlsx

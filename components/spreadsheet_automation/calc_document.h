#pragma once

#include "cell_block_buffer.h"
#include "column_width_candidates.h"
#include "office_session.h"
#include "serial_worker.h"

#include <QString>
#include <QStringList>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <deque>
#include <memory>
#include <optional>

namespace calc {

using column_widths::ColumnWidthCandidates;
using column_widths::TextWidthEstimate;
class NumberFormatKeys;

using SheetRef = css::uno::Reference<css::sheet::XSpreadsheet>;

// One Calc document as a workbook: its sheets, its view and the cells not yet
// sent to it. Every object of the workbook shares it, so cells written
// through one worksheet object are sent before another object changes what
// they depend on.
//
// Full blocks of cells go to Calc from a thread of their own, so Calc takes
// in one block while the caller reads and prepares the next. Every other
// call waits until the blocks on their way have arrived, and a block that
// failed is reported by the next call.
class CalcDocument {
public:
    // A new, hidden, unsaved spreadsheet document.
    static std::shared_ptr<CalcDocument> create(std::shared_ptr<OfficeSession> session);
    // Pending cells are sent; a failure here has nobody left to go to.
    ~CalcDocument();

    CalcDocument(const CalcDocument &) = delete;
    CalcDocument &operator=(const CalcDocument &) = delete;

    // Runs work against Calc with failures described for the user, once the
    // blocks on their way have arrived.
    template <class Work>
    auto call(const QString &action, Work &&work) const -> decltype(work());

    int sheetCount() const;
    // From 0, in tab order.
    SheetRef sheetAt(int index) const;
    int indexOf(const SheetRef &sheet) const;
    QStringList sheetNames() const;
    const css::uno::Reference<css::sheet::XSpreadsheets> &sheets() const { return m_sheets; }
    const css::uno::Reference<css::sheet::XSpreadsheetDocument> &document() const { return m_document; }
    SheetRef activeSheet() const;
    void activate(const SheetRef &sheet);

    // Row and column from 1, already checked against the sheet's limits.
    void writeCell(const SheetRef &sheet, int row, int column, const excel::Cell &cell);
    void flush();
    // Columns 1..count of the sheet as Calc's optimal width would set them,
    // from the texts written into it (see fitColumns).
    void fitColumns(const SheetRef &sheet, int count);

    // Stores the document under the URL through the office's export filter
    // of that name, pending cells first.
    void storeTo(const QString &url, const QString &filterName);

    void show();
    void hide();
    // For the read-back only: defined in inspection/, which only tests and
    // benchmarks link.
    bool isShown() const;

    OfficeSession &session() const { return *m_session; }

private:
    CalcDocument(std::shared_ptr<OfficeSession> session,
                 css::uno::Reference<css::sheet::XSpreadsheetDocument> document);
    void send(CellBlock &&block);
    void setWindowVisible(bool visible);
    ColumnWidthCandidates &widthCandidatesOf(const SheetRef &sheet);
    std::vector<std::optional<std::vector<QString>>> widthCandidates(const SheetRef &sheet, int count) const;

    struct SheetWidths {
        SheetRef sheet;
        ColumnWidthCandidates candidates;
        // False when the sheet may hold cells noted in candidates dropped
        // since.
        bool holdsEveryText = true;
    };

    std::shared_ptr<OfficeSession> m_session;
    css::uno::Reference<css::sheet::XSpreadsheetDocument> m_document;
    css::uno::Reference<css::sheet::XSpreadsheets> m_sheets;
    css::uno::Reference<css::sheet::XSpreadsheetView> m_view;
    SheetRef m_bufferedSheet;
    CellBlockBuffer m_buffer;
    std::unique_ptr<TextWidthEstimate> m_widthEstimate;
    // The sheets written last; an older one is measured whole when fitted.
    std::deque<SheetWidths> m_sheetWidths;
    bool m_droppedWidthCandidates = false;
    ColumnWidthCandidates *m_bufferedWidths = nullptr;
    // Used by the blocks' jobs only, on the sending thread.
    std::unique_ptr<NumberFormatKeys> m_formatKeys;
    css::uno::Reference<css::lang::XMultiServiceFactory> m_factory;
    // Last, so it has ended before anything its jobs use goes.
    mutable SerialWorker m_sender;
};

} // namespace calc

#include "calc_failure.h"

template <class Work>
auto calc::CalcDocument::call(const QString &action, Work &&work) const -> decltype(work())
{
    m_sender.finish();
    return callCalc(*m_session, action, std::forward<Work>(work));
}

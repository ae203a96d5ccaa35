#include "xlsx_file.h"

#include "component_error.h"
#include "spliced_sheets.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <xlsxwriter.h>

namespace xlsx {
namespace {

// Arial is what Calc's Liberation Sans stands in for, width for width.
constexpr const char *cellFontName = "Arial";
constexpr double cellFontPoints = 10;

[[noreturn]] void notWritten(const QString &path, lxw_error error)
{
    throw components::ComponentError(QStringLiteral("The file %1 could not be written: %2.")
                                         .arg(QDir::toNativeSeparators(path), QString::fromUtf8(lxw_strerror(error))));
}

// The library's workbook, closed (and so written) or dropped however the
// writing ends.
class LibraryWorkbook {
public:
    LibraryWorkbook(const QString &path, const QString &temporaryFolder) : m_path(path)
    {
        // The sheets' rows are ours (see spliced_sheets.h): the library writes
        // every part around them, in the mode that writes rows as they come,
        // whose way of writing them ours follows. Its own temporary files go
        // in our folder, which is removed whatever happens.
        const QByteArray folder = QFile::encodeName(temporaryFolder);
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = const_cast<char *>(folder.constData());
        m_workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        if (!m_workbook)
            notWritten(path, LXW_ERROR_CREATING_XLSX_FILE);
        useCellFont();
    }
    ~LibraryWorkbook()
    {
        // Left unwritten: the file in the making is removed.
        if (m_workbook)
            lxw_workbook_free(m_workbook);
    }
    LibraryWorkbook(const LibraryWorkbook &) = delete;
    LibraryWorkbook &operator=(const LibraryWorkbook &) = delete;

    lxw_workbook *get() const { return m_workbook; }
    // The cell formats in the order the cells were given them, numbered as
    // the sheets' rows name them: from 1, after the library's default.
    void addNumberFormats(const QStringList &formats)
    {
        for (qsizetype i = 0; i < formats.size(); ++i) {
            lxw_format *format = workbook_add_format(m_workbook);
            format_set_num_format(format, formats[i].toUtf8().constData());
            // A new format has the library's Calibri 11, not the cells' font.
            setCellFont(format);
            if (lxw_format_get_xf_index(format) != i + 1)
                throw components::ComponentError(
                    QStringLiteral("The file %1 could not be written: the number format \"%2\" is not kept apart.")
                        .arg(QDir::toNativeSeparators(m_path), formats[i]));
        }
    }
    // Our own account of a failure of the sheets' rows comes first.
    void close(const SplicedSheets &spliced)
    {
        const lxw_error error = workbook_close(std::exchange(m_workbook, nullptr));
        spliced.check();
        if (error != LXW_NO_ERROR)
            notWritten(m_path, error);
    }

private:
    // The wizard's workbook shows its cells in Calc's default font; the
    // library's default (Calibri 11) is missing where Calc runs on Linux,
    // and Calc would lay out its columns in a font of other widths. The
    // library gives no call for it: its first format is the default.
    void useCellFont() { setCellFont(STAILQ_FIRST(m_workbook->formats)); }
    static void setCellFont(lxw_format *format)
    {
        format_set_font_name(format, cellFontName);
        format_set_font_size(format, cellFontPoints);
    }

    QString m_path;
    lxw_workbook *m_workbook = nullptr;
};

// Once the compressor has finished with it.
SheetRows rowsOf(std::shared_ptr<const SheetBody> body)
{
    const SheetRowsXml &xml = body->rows();
    if (!xml.hasCells())
        return {};
    char range[LXW_MAX_CELL_RANGE_LENGTH];
    lxw_rowcol_to_range(range, lxw_row_t(xml.firstRow() - 1), lxw_col_t(xml.firstColumn() - 1),
                        lxw_row_t(xml.lastRow() - 1), lxw_col_t(xml.lastColumn() - 1));
    return {std::move(body), range};
}

} // namespace

void writeWorkbookFile(WorkbookParts &parts, const std::vector<std::shared_ptr<XlsxSheet>> &sheets,
                       const XlsxSheet &active)
{
    const QString &path = parts.file().path();
    std::vector<std::shared_ptr<const SheetBody>> bodies;
    for (const auto &sheet : sheets)
        bodies.push_back(sheet->endRows());
    parts.compressor().finish();
    std::vector<SheetRows> rows;
    for (auto &body : bodies)
        rows.push_back(rowsOf(std::move(body)));

    LibraryWorkbook workbook(path, parts.folder());
    workbook.addNumberFormats(parts.formats());
    for (const auto &sheet : sheets) {
        lxw_worksheet *worksheet = workbook_add_worksheet(workbook.get(), sheet->name().toUtf8().constData());
        if (!worksheet)
            throw components::ComponentError(
                QStringLiteral("The worksheet \"%1\" cannot be stored in an .xlsx file.").arg(sheet->name()));
        const std::vector<double> pixels = sheet->columnPixels();
        for (std::size_t c = 0; c < pixels.size(); ++c)
            worksheet_set_column_pixels(worksheet, lxw_col_t(c), lxw_col_t(c), uint32_t(std::lround(pixels[c])), nullptr);
        worksheet_set_default_row(worksheet, rowPoints, LXW_FALSE);
        if (sheet.get() == &active)
            worksheet_activate(worksheet);
    }
    const SplicedSheets spliced(std::move(rows));
    workbook.close(spliced);
}

} // namespace xlsx

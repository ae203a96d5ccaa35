#include "xlsx_file.h"

#include "component_error.h"
#include "fast_deflate.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <xlsxwriter.h>

namespace xlsx {
namespace {

// Arial is what Calc's Liberation Sans stands in for, width for width.
constexpr const char *cellFontName = "Arial";
constexpr double cellFontPoints = 10;
// The height of a row in that font: the library's default suits Calibri 11.
constexpr double rowPoints = 12.75;

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
        // Rows go to the file as the next one begins, so memory does not
        // grow with the table; its own temporary files go in our folder, which
        // is removed whatever happens.
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
    lxw_format *numberFormat(const QStringList &formats, int index)
    {
        if (index < 0)
            return nullptr;
        if (m_formats.size() <= std::size_t(index))
            m_formats.resize(formats.size(), nullptr);
        lxw_format *&format = m_formats[std::size_t(index)];
        if (!format) {
            format = workbook_add_format(m_workbook);
            format_set_num_format(format, formats[index].toUtf8().constData());
        }
        return format;
    }
    void close()
    {
        const lxw_error error = workbook_close(std::exchange(m_workbook, nullptr));
        if (error != LXW_NO_ERROR)
            notWritten(m_path, error);
    }

private:
    // The wizard's workbook shows its cells in Calc's default font; the
    // library's default (Calibri 11) is missing where Calc runs on Linux,
    // and Calc would lay out its columns in a font of other widths. The
    // library gives no call for it: its first format is the default.
    void useCellFont()
    {
        lxw_format *cellDefault = STAILQ_FIRST(m_workbook->formats);
        format_set_font_name(cellDefault, cellFontName);
        format_set_font_size(cellDefault, cellFontPoints);
    }

    QString m_path;
    lxw_workbook *m_workbook = nullptr;
    std::vector<lxw_format *> m_formats;
};

void writeCells(LibraryWorkbook &workbook, lxw_worksheet *worksheet, XlsxSheet &sheet, const QStringList &formats,
                const QString &path)
{
    sheet.cells().replay([&](const CellSpool::Cell &cell) {
        const lxw_row_t row = lxw_row_t(cell.row - 1);
        const lxw_col_t column = lxw_col_t(cell.column - 1);
        lxw_error error = LXW_NO_ERROR;
        switch (cell.kind) {
        case excel::Cell::Text:
            error = worksheet_write_string(worksheet, row, column, cell.text.constData(), nullptr);
            break;
        case excel::Cell::Boolean:
            error = worksheet_write_boolean(worksheet, row, column, cell.number != 0, nullptr);
            break;
        default:
            error = worksheet_write_number(worksheet, row, column, cell.number,
                                           workbook.numberFormat(formats, cell.format));
            break;
        }
        if (error != LXW_NO_ERROR)
            notWritten(path, error);
    });
}

} // namespace

void writeWorkbookFile(WorkbookParts &parts, const std::vector<std::shared_ptr<XlsxSheet>> &sheets,
                       const XlsxSheet &active)
{
    const QString &path = parts.file().path();
    deflateFast();
    LibraryWorkbook workbook(path, parts.folder());
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
        writeCells(workbook, worksheet, *sheet, parts.formats(), path);
    }
    workbook.close();
}

} // namespace xlsx

#include "csv_workbook.h"

#include "register_csv_spreadsheet.h"
#include "worksheet_rules.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace csv {
namespace {

class CsvWorksheet : public excel::Worksheet, public excel::Columns {
public:
    CsvWorksheet(std::shared_ptr<CsvBook> book, std::shared_ptr<CsvSheet> sheet)
        : m_book(std::move(book)), m_sheet(std::move(sheet))
    {
    }

    QString Name() const override { return sheet().name(); }
    void setName(const QString &name) override
    {
        const QString refusal = excel::sheetNameRefusal(name, m_book->namesBesides(&sheet()));
        if (!refusal.isEmpty())
            throw components::ComponentError(refusal);
        m_sheet->setName(name);
    }
    // A text file holds what each cell shows.
    void setCells(int row, int column, const excel::Cell &cell) override { sheet().write(row, column, cell.text); }
    void finishWrites() override { sheet().flushRowsLeft(); }
    excel::Columns &columns() override { return *this; }
    // Text files have no column widths.
    void AutoFit() override { sheet(); }
    void Delete() override
    {
        auto &sheets = m_book->sheets;
        const auto it = std::find(sheets.begin(), sheets.end(), m_sheet);
        if (it == sheets.end())
            throw components::ComponentError(QStringLiteral("The worksheet has been deleted."));
        if (sheets.size() == 1)
            throw components::ComponentError(
                QStringLiteral("The last worksheet of a workbook cannot be deleted: a workbook needs at least one."));
        const std::size_t index = std::size_t(it - sheets.begin());
        sheets.erase(it);
        if (m_book->active == m_sheet)
            m_book->active = sheets[std::min(index, sheets.size() - 1)];
    }

private:
    CsvSheet &sheet() const
    {
        if (std::find(m_book->sheets.begin(), m_book->sheets.end(), m_sheet) == m_book->sheets.end())
            throw components::ComponentError(QStringLiteral("The worksheet has been deleted."));
        return *m_sheet;
    }

    std::shared_ptr<CsvBook> m_book;
    std::shared_ptr<CsvSheet> m_sheet;
};

} // namespace

QStringList CsvBook::namesBesides(const CsvSheet *sheet) const
{
    QStringList names;
    for (const auto &other : sheets) {
        if (other.get() != sheet)
            names << other->name();
    }
    return names;
}

CsvWorkbook::CsvWorkbook(const QString &workingFolder)
{
    m_book->workingFolder = workingFolder;
    // A new workbook has one worksheet, as the office's do.
    m_book->sheets.push_back(newSheet());
    m_book->active = m_book->sheets.front();
}

std::shared_ptr<CsvSheet> CsvWorkbook::newSheet() const
{
    const QStringList names = m_book->namesBesides(nullptr);
    for (int n = int(names.size()) + 1;; ++n) {
        const QString candidate = QStringLiteral("Sheet%1").arg(n);
        if (!names.contains(candidate, Qt::CaseInsensitive))
            return std::make_shared<CsvSheet>(candidate, m_book->workingFolder);
    }
}

std::shared_ptr<excel::Worksheet> CsvWorkbook::ActiveSheet()
{
    return std::make_shared<CsvWorksheet>(m_book, m_book->active);
}

std::shared_ptr<excel::Worksheet> CsvWorkbook::item(int index)
{
    if (index < 1 || index > count())
        throw components::ComponentError(
            QStringLiteral("There is no worksheet number %1: the workbook has %2.").arg(index).arg(count()));
    return std::make_shared<CsvWorksheet>(m_book, m_book->sheets[std::size_t(index - 1)]);
}

std::shared_ptr<excel::Worksheet> CsvWorkbook::Add()
{
    auto sheet = newSheet();
    auto &sheets = m_book->sheets;
    sheets.insert(std::find(sheets.begin(), sheets.end(), m_book->active), sheet);
    m_book->active = sheet;
    return std::make_shared<CsvWorksheet>(m_book, sheet);
}

// The files are one export: every file is complete before the first takes
// its name, and a name that cannot be given puts back what the names held.
void CsvWorkbook::SaveAs(const QString &fileName)
{
    for (const auto &sheet : m_book->sheets)
        sheet->finish();
    std::size_t replaced = 0;
    try {
        for (; replaced < m_book->sheets.size(); ++replaced)
            m_book->sheets[replaced]->replace(csvSheetFileName(fileName, m_book->sheets[replaced]->name()));
    } catch (const components::ComponentError &) {
        while (replaced > 0)
            m_book->sheets[--replaced]->restorePrevious();
        throw;
    }
}

void CsvApplication::setVisible(bool)
{
    throw components::ComponentError(QStringLiteral("A workbook of CSV files cannot be shown."));
}

} // namespace csv

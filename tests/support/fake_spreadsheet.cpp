#include "fake_spreadsheet.h"

#include "worksheet_rules.h"

#include <QStringList>

namespace testing_support {
namespace {

using components::ComponentError;

class FakeWorksheet : public excel::Worksheet, public excel::Columns {
public:
    FakeWorksheet(std::shared_ptr<FakeSpreadsheet> app, std::shared_ptr<FakeBook> book, std::shared_ptr<FakeSheet> sheet)
        : m_app(std::move(app)), m_book(std::move(book)), m_sheet(std::move(sheet))
    {
    }

    QString Name() const override
    {
        m_app->throwPendingWriteFailure();
        return m_sheet->name;
    }
    void setName(const QString &name) override
    {
        m_app->throwPendingWriteFailure();
        if (m_app->fails(QStringLiteral("Name")))
            throw ComponentError(QStringLiteral("rename failed"));
        QStringList otherNames;
        for (const auto &other : m_book->sheets) {
            if (other != m_sheet)
                otherNames << other->name;
        }
        const QString refusal = excel::sheetNameRefusal(name, otherNames);
        if (!refusal.isEmpty())
            throw ComponentError(refusal);
        m_sheet->name = name;
    }
    void setCells(int row, int column, const excel::Cell &cell) override
    {
        m_app->throwPendingWriteFailure();
        if (row < 1 || column < 1 || row > excel::worksheetRowLimit || column > excel::worksheetColumnLimit)
            throw ComponentError(QStringLiteral("Cell (%1, %2) is outside the worksheet.").arg(row).arg(column));
        ++m_app->cellWrites;
        m_sheet->cells[{row, column}] = cell.text;
        if (m_app->afterCellWrite)
            m_app->afterCellWrite();
    }
    void finishWrites() override { m_app->throwPendingWriteFailure(); }
    excel::Columns &columns() override { return *this; }
    void AutoFit() override
    {
        m_app->throwPendingWriteFailure();
        if (m_app->fails(QStringLiteral("AutoFit")))
            throw ComponentError(QStringLiteral("AutoFit failed"));
        m_sheet->autoFitted = true;
    }
    void Delete() override
    {
        if (m_app->fails(QStringLiteral("Delete")))
            throw ComponentError(QStringLiteral("Delete failed"));
        auto &sheets = m_book->sheets;
        if (sheets.size() == 1)
            throw ComponentError(QStringLiteral("A workbook must contain at least one visible worksheet."));
        const auto it = std::find(sheets.begin(), sheets.end(), m_sheet);
        const size_t index = size_t(it - sheets.begin());
        sheets.erase(it);
        m_sheet->deleted = true;
        if (m_book->active == m_sheet)
            m_book->active = sheets[std::min(index, sheets.size() - 1)];
    }

private:
    std::shared_ptr<FakeSpreadsheet> m_app;
    std::shared_ptr<FakeBook> m_book;
    std::shared_ptr<FakeSheet> m_sheet;
};

std::shared_ptr<FakeSheet> newSheet(FakeBook &book)
{
    auto sheet = std::make_shared<FakeSheet>();
    sheet->name = QStringLiteral("Sheet%1").arg(book.nextSheetNumber++);
    return sheet;
}

class FakeWorkbook : public excel::Workbook, public excel::Worksheets {
public:
    FakeWorkbook(std::shared_ptr<FakeSpreadsheet> app, std::shared_ptr<FakeBook> book) : m_app(std::move(app)), m_book(std::move(book)) {}

    excel::Worksheets &worksheets() override { return *this; }
    std::shared_ptr<excel::Worksheet> ActiveSheet() override
    {
        m_app->throwPendingWriteFailure();
        return wrap(m_book->active);
    }
    int count() const override
    {
        m_app->throwPendingWriteFailure();
        return int(m_book->sheets.size());
    }
    std::shared_ptr<excel::Worksheet> item(int index) override
    {
        m_app->throwPendingWriteFailure();
        if (index < 1 || index > count())
            throw ComponentError(QStringLiteral("Subscript out of range"));
        return wrap(m_book->sheets[size_t(index - 1)]);
    }
    std::shared_ptr<excel::Worksheet> Add() override
    {
        m_app->throwPendingWriteFailure();
        if (m_app->fails(QStringLiteral("Add sheet")))
            throw ComponentError(QStringLiteral("Add sheet failed"));
        auto sheet = newSheet(*m_book);
        auto &sheets = m_book->sheets;
        sheets.insert(std::find(sheets.begin(), sheets.end(), m_book->active), sheet);
        m_book->active = sheet;
        return wrap(sheet);
    }
    void SaveAs(const QString &fileName) override
    {
        m_app->throwPendingWriteFailure();
        m_book->savedAs = fileName;
    }

private:
    std::shared_ptr<excel::Worksheet> wrap(const std::shared_ptr<FakeSheet> &sheet)
    {
        return std::make_shared<FakeWorksheet>(m_app, m_book, sheet);
    }
    std::shared_ptr<FakeSpreadsheet> m_app;
    std::shared_ptr<FakeBook> m_book;
};

class FakeApplication : public excel::Application, public excel::Workbooks {
public:
    explicit FakeApplication(std::shared_ptr<FakeSpreadsheet> app) : m_app(std::move(app)) {}

    excel::Workbooks &workbooks() override { return *this; }
    void setVisible(bool visible) override
    {
        m_app->throwPendingWriteFailure();
        if (m_app->fails(QStringLiteral("Visible")))
            throw ComponentError(QStringLiteral("Visible failed"));
        m_app->visible = visible;
    }
    std::shared_ptr<excel::Workbook> Add() override
    {
        if (m_app->fails(QStringLiteral("Add workbook")))
            throw ComponentError(QStringLiteral("Add workbook failed"));
        auto book = std::make_shared<FakeBook>();
        for (int i = 0; i < m_app->sheetsInNewWorkbook; ++i)
            book->sheets.push_back(newSheet(*book));
        book->active = book->sheets.front();
        m_app->books.push_back(book);
        return std::make_shared<FakeWorkbook>(m_app, book);
    }

private:
    std::shared_ptr<FakeSpreadsheet> m_app;
};

} // namespace

void FakeSpreadsheet::throwPendingWriteFailure()
{
    if (stopped)
        throw components::ComponentStopped(QStringLiteral("The spreadsheet application has stopped."));
    if (std::exchange(pendingWriteFailure, false))
        throw ComponentError(QStringLiteral("A block of cells could not be written."));
}

int FakeSheet::rows() const
{
    int last = 0;
    for (const auto &entry : cells)
        last = std::max(last, entry.first.first);
    return last;
}

QStringList FakeBook::names() const
{
    QStringList result;
    for (const auto &sheet : sheets)
        result << sheet->name;
    return result;
}

void registerFakeSpreadsheet(const std::shared_ptr<FakeSpreadsheet> &spreadsheet)
{
    components::Registry::instance().registerPreparation(excel::ApplicationClass, {});
    components::Registry::instance().registerFactory(excel::ApplicationClass, [spreadsheet]() -> std::shared_ptr<components::Object> {
        if (spreadsheet->fails(QStringLiteral("create")))
            return nullptr;
        ++spreadsheet->applicationsCreated;
        return std::make_shared<FakeApplication>(spreadsheet);
    });
}

} // namespace testing_support

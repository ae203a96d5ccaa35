#pragma once

// The worksheets of a workbook that is written to files without an office
// (CSV files, an .xlsx file): their tab order, the active one and their
// names kept as an office keeps them, so the export makes the same sheets in
// the same order whatever it writes to. What a sheet does with its cells is
// the Sheet's business:
//
//   Sheet(QString name, Sheet::Context &)   a new, empty worksheet
//   name(), setName(name)
//   write(row, column, const excel::Cell &)
//   flushRowsLeft()                          as Worksheet::finishWrites
//   autoFit()                                its columns to their texts

#include "component_error.h"
#include "spreadsheet_automation.h"
#include "worksheet_rules.h"

#include <QStringList>
#include <algorithm>
#include <memory>
#include <vector>

namespace file_workbook {

// Shared by every object handed out for one workbook.
template <class Sheet>
struct Book {
    typename Sheet::Context context;
    std::vector<std::shared_ptr<Sheet>> sheets;
    std::shared_ptr<Sheet> active;

    // The names of every worksheet but the one given (none: all of them).
    QStringList namesBesides(const Sheet *sheet) const
    {
        QStringList names;
        for (const auto &other : sheets) {
            if (other.get() != sheet)
                names << other->name();
        }
        return names;
    }
    bool holds(const std::shared_ptr<Sheet> &sheet) const
    {
        return std::find(sheets.begin(), sheets.end(), sheet) != sheets.end();
    }
};

template <class Sheet>
class Worksheet : public excel::Worksheet, public excel::Columns {
public:
    Worksheet(std::shared_ptr<Book<Sheet>> book, std::shared_ptr<Sheet> sheet)
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
    void setCells(int row, int column, const excel::Cell &cell) override { sheet().write(row, column, cell); }
    void finishWrites() override { sheet().flushRowsLeft(); }
    excel::Columns &columns() override { return *this; }
    void AutoFit() override { sheet().autoFit(); }
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
    Sheet &sheet() const
    {
        if (!m_book->holds(m_sheet))
            throw components::ComponentError(QStringLiteral("The worksheet has been deleted."));
        return *m_sheet;
    }

    std::shared_ptr<Book<Sheet>> m_book;
    std::shared_ptr<Sheet> m_sheet;
};

// A workbook of such sheets; what saving it writes is the subclass's.
template <class Sheet>
class Workbook : public excel::Workbook, public excel::Worksheets {
public:
    explicit Workbook(typename Sheet::Context context)
    {
        m_book->context = std::move(context);
        // A new workbook has one worksheet, as the office's do.
        m_book->sheets.push_back(newSheet());
        m_book->active = m_book->sheets.front();
    }

    excel::Worksheets &worksheets() override { return *this; }
    std::shared_ptr<excel::Worksheet> ActiveSheet() override
    {
        return std::make_shared<Worksheet<Sheet>>(m_book, m_book->active);
    }

    int count() const override { return int(m_book->sheets.size()); }
    std::shared_ptr<excel::Worksheet> item(int index) override
    {
        if (index < 1 || index > count())
            throw components::ComponentError(
                QStringLiteral("There is no worksheet number %1: the workbook has %2.").arg(index).arg(count()));
        return std::make_shared<Worksheet<Sheet>>(m_book, m_book->sheets[std::size_t(index - 1)]);
    }
    std::shared_ptr<excel::Worksheet> Add() override
    {
        auto sheet = newSheet();
        auto &sheets = m_book->sheets;
        sheets.insert(std::find(sheets.begin(), sheets.end(), m_book->active), sheet);
        m_book->active = sheet;
        return std::make_shared<Worksheet<Sheet>>(m_book, sheet);
    }

protected:
    // In tab order.
    const std::vector<std::shared_ptr<Sheet>> &sheets() const { return m_book->sheets; }
    const Sheet &activeSheet() const { return *m_book->active; }
    typename Sheet::Context &context() { return m_book->context; }

private:
    std::shared_ptr<Sheet> newSheet()
    {
        const QStringList names = m_book->namesBesides(nullptr);
        for (int n = int(names.size()) + 1;; ++n) {
            const QString candidate = QStringLiteral("Sheet%1").arg(n);
            if (!names.contains(candidate, Qt::CaseInsensitive))
                return std::make_shared<Sheet>(candidate, m_book->context);
        }
    }

    std::shared_ptr<Book<Sheet>> m_book = std::make_shared<Book<Sheet>>();
};

} // namespace file_workbook

#pragma once

#include "calc_document.h"
#include "spreadsheet_automation.h"

#include <memory>

namespace calc {

class CalcWorksheet;

class CalcColumns : public excel::Columns {
public:
    explicit CalcColumns(CalcWorksheet &worksheet) : m_worksheet(worksheet) {}
    void AutoFit() override;

private:
    CalcWorksheet &m_worksheet;
};

class CalcWorksheet : public excel::Worksheet {
public:
    CalcWorksheet(std::shared_ptr<CalcDocument> document, SheetRef sheet);

    QString Name() const override;
    void setName(const QString &name) override;
    void setCells(int row, int column, const excel::Cell &cell) override;
    void finishWrites() override;
    excel::Columns &columns() override { return m_columns; }
    void Delete() override;

    void autoFitColumns();

private:
    // Throws when this worksheet has been deleted.
    const SheetRef &sheet() const;

    std::shared_ptr<CalcDocument> m_document;
    SheetRef m_sheet;
    bool m_deleted = false;
    CalcColumns m_columns{*this};
};

} // namespace calc

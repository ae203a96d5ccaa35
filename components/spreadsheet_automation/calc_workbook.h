#pragma once

#include "calc_document.h"
#include "spreadsheet_automation.h"

#include <memory>

namespace calc {

class CalcWorksheets : public excel::Worksheets {
public:
    explicit CalcWorksheets(std::shared_ptr<CalcDocument> document) : m_document(std::move(document)) {}

    int count() const override;
    std::shared_ptr<excel::Worksheet> item(int index) override;
    std::shared_ptr<excel::Worksheet> Add() override;

private:
    QString unusedSheetName() const;

    std::shared_ptr<CalcDocument> m_document;
};

class CalcWorkbook : public excel::Workbook {
public:
    explicit CalcWorkbook(std::shared_ptr<CalcDocument> document)
        : m_document(document), m_worksheets(std::move(document)) {}

    excel::Worksheets &worksheets() override { return m_worksheets; }
    std::shared_ptr<excel::Worksheet> ActiveSheet() override;
    void SaveAs(const QString &fileName) override;

private:
    std::shared_ptr<CalcDocument> m_document;
    CalcWorksheets m_worksheets;
};

} // namespace calc

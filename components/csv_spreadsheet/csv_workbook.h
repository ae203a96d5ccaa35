#pragma once

#include "csv_sheet.h"
#include "file_workbook.h"

namespace csv {

class CsvWorkbook : public file_workbook::Workbook<CsvSheet> {
public:
    explicit CsvWorkbook(const QString &workingFolder) : file_workbook::Workbook<CsvSheet>(workingFolder) {}

    void SaveAs(const QString &fileName) override;
};

class CsvApplication : public excel::Application, public excel::Workbooks {
public:
    explicit CsvApplication(QString workingFolder) : m_workingFolder(std::move(workingFolder)) {}

    excel::Workbooks &workbooks() override { return *this; }
    std::shared_ptr<excel::Workbook> Add() override { return std::make_shared<CsvWorkbook>(m_workingFolder); }
    // CSV files have nowhere to be shown.
    void setVisible(bool visible) override;

private:
    QString m_workingFolder;
};

} // namespace csv

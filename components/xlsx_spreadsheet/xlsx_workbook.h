#pragma once

#include "file_workbook.h"
#include "xlsx_sheet.h"

namespace xlsx {

class XlsxWorkbook : public file_workbook::Workbook<XlsxSheet> {
public:
    explicit XlsxWorkbook(const QString &workingFolder)
        : file_workbook::Workbook<XlsxSheet>(std::make_shared<WorkbookParts>(workingFolder))
    {
    }

    // Only as .xlsx.
    void SaveAs(const QString &fileName) override;
};

class XlsxApplication : public excel::Application, public excel::Workbooks {
public:
    explicit XlsxApplication(QString workingFolder) : m_workingFolder(std::move(workingFolder)) {}

    excel::Workbooks &workbooks() override { return *this; }
    std::shared_ptr<excel::Workbook> Add() override { return std::make_shared<XlsxWorkbook>(m_workingFolder); }
    // A file has nowhere to be shown.
    void setVisible(bool visible) override;

private:
    QString m_workingFolder;
};

} // namespace xlsx

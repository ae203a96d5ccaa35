#pragma once

#include "csv_sheet.h"
#include "spreadsheet_automation.h"

#include <memory>
#include <vector>

namespace csv {

// The worksheets of one workbook in tab order, and which is active; shared
// by every object handed out for it.
struct CsvBook {
    QString workingFolder;
    std::vector<std::shared_ptr<CsvSheet>> sheets;
    std::shared_ptr<CsvSheet> active;

    // The names of every worksheet but the one given (none: all of them).
    QStringList namesBesides(const CsvSheet *sheet) const;
};

class CsvWorkbook : public excel::Workbook, public excel::Worksheets {
public:
    explicit CsvWorkbook(const QString &workingFolder);

    excel::Worksheets &worksheets() override { return *this; }
    std::shared_ptr<excel::Worksheet> ActiveSheet() override;
    void SaveAs(const QString &fileName) override;

    int count() const override { return int(m_book->sheets.size()); }
    std::shared_ptr<excel::Worksheet> item(int index) override;
    std::shared_ptr<excel::Worksheet> Add() override;

private:
    std::shared_ptr<CsvSheet> newSheet() const;

    std::shared_ptr<CsvBook> m_book = std::make_shared<CsvBook>();
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

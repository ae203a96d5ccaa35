#pragma once

// The Excel-shaped spreadsheet automation objects the export writes through.
// Created by name through the registry: "Excel.Application". Every member may
// throw components::ComponentError, components::ComponentStopped once the
// spreadsheet application has stopped.

#include "component_error.h"
#include "registry.h"
#include "spreadsheet_cell.h"

#include <QString>
#include <memory>

namespace excel {

class Columns {
public:
    virtual ~Columns() = default;
    virtual void AutoFit() = 0;
};

class Worksheet {
public:
    virtual ~Worksheet() = default;
    virtual QString Name() const = 0;
    virtual void setName(const QString &name) = 0;
    // Row and column from 1.
    virtual void setCells(int row, int column, const Cell &cell) = 0;
    // Cells may be written on the way to the sheet: returns once every cell
    // written so far is in it, and a write that failed on its way fails here
    // rather than in a later call.
    virtual void finishWrites() = 0;
    virtual Columns &columns() = 0;
    virtual void Delete() = 0;
};

class Worksheets {
public:
    virtual ~Worksheets() = default;
    virtual int count() const = 0;
    // Sheet number from 1.
    virtual std::shared_ptr<Worksheet> item(int index) = 0;
    // A new sheet before the active one, made active.
    virtual std::shared_ptr<Worksheet> Add() = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    virtual Worksheets &worksheets() = 0;
    virtual std::shared_ptr<Worksheet> ActiveSheet() = 0;
    // Stores the workbook in the file, in the format its extension names.
    // The file is replaced whole or not at all; the workbook stays open.
    virtual void SaveAs(const QString &fileName) = 0;
};

class Workbooks {
public:
    virtual ~Workbooks() = default;
    virtual std::shared_ptr<Workbook> Add() = 0;
};

class Application : public components::Object {
public:
    virtual Workbooks &workbooks() = 0;
    virtual void setVisible(bool visible) = 0;
};

inline const QString ApplicationClass = QStringLiteral("Excel.Application");

} // namespace excel

#pragma once

// An in-memory stand-in for the spreadsheet automation objects, for window
// logic. It keeps the rules a real workbook keeps: sheet names, sheet order,
// the active sheet, the row and column limits.

#include "spreadsheet_automation.h"

#include <map>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace testing_support {

struct FakeSheet {
    QString name;
    std::map<std::pair<int, int>, QString> cells;
    bool autoFitted = false;
    bool deleted = false;

    QString cell(int row, int column) const
    {
        const auto it = cells.find({row, column});
        return it == cells.end() ? QString() : it->second;
    }
    int rows() const;
};

struct FakeBook {
    std::vector<std::shared_ptr<FakeSheet>> sheets; // tab order
    std::shared_ptr<FakeSheet> active;
    int nextSheetNumber = 1;
    QString savedAs;

    QStringList names() const;
};

struct FakeSpreadsheet {
    // Sheets a new workbook comes with.
    int sheetsInNewWorkbook = 3;
    // Operations that throw: "create", "Add workbook", "Delete", "Add sheet",
    // "AutoFit", "Visible", "Name".
    std::set<QString> failing;
    // A write that was accepted but failed on its way, as cells sent in
    // blocks do: the next call throws it.
    bool pendingWriteFailure = false;
    // Every call fails as an application that has stopped.
    bool stopped = false;
    // Runs after each cell written, with cellWrites counted.
    std::function<void()> afterCellWrite;
    int applicationsCreated = 0;
    int cellWrites = 0;
    bool visible = false;
    std::vector<std::shared_ptr<FakeBook>> books;

    FakeBook &lastBook() { return *books.back(); }
    void fail(const QString &operation) { failing.insert(operation); }
    void throwPendingWriteFailure();
    bool fails(const QString &operation) const { return failing.count(operation) != 0; }
};

void registerFakeSpreadsheet(const std::shared_ptr<FakeSpreadsheet> &spreadsheet);

} // namespace testing_support

#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace xlsx {

class SheetBody;

// What one worksheet's part of the file holds in place of the empty
// <sheetData/> the library writes for it: the sheet's rows, and the range
// they span as the part's <dimension> names it.
struct SheetRows {
    // Null for a sheet without cells: its part stays as the library wrote it.
    std::shared_ptr<const SheetBody> body;
    QByteArray range;
};

// While one lives, the worksheet parts of the .xlsx file the library writes
// on this thread take their rows from these sheets, in tab order, deflated
// already; every part the library deflates itself, here or in any file, is
// deflated at zlib's fastest level.
class SplicedSheets {
public:
    explicit SplicedSheets(std::vector<SheetRows> sheets);
    ~SplicedSheets();
    SplicedSheets(const SplicedSheets &) = delete;
    SplicedSheets &operator=(const SplicedSheets &) = delete;

    // Throws ComponentError unless every sheet's rows went into its part,
    // saying why.
    void check() const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace xlsx

#pragma once

#include <QString>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <optional>
#include <vector>

namespace calc {

// Gives columns 1..n of the sheet (n = the number of entries) the widths
// Calc's own optimal width would give them. Calc measures every cell of a
// column for that, which for a large table takes as long as writing it;
// here it measures only each column's candidate texts, in a hidden
// document of its own that is closed again, so the user's workbook holds
// nothing but its widths. A column without candidates (nullopt) is
// measured whole, as before.
void fitColumns(const css::uno::Reference<css::frame::XDesktop2> &desktop,
                const css::uno::Reference<css::sheet::XSpreadsheet> &sheet,
                const std::vector<std::optional<std::vector<QString>>> &candidates);

} // namespace calc

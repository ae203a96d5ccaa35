#pragma once

// The record numbers an index's leaf page holds. Every record of a table has
// a node in each of its indices (but a partial index's), so an index still
// tells how many records a data page held once the page itself is lost.

#include "ods_version.h"
#include "page_view.h"

#include <cstdint>
#include <functional>

namespace ods {

// Calls `record` with the record number of each node of leaf `page`, in
// order; false when a node runs off the page or is of no known kind: the
// page's numbers are then not to be trusted.
bool forEachLeafRecord(const PageView &page, IndexNodes nodes, const std::function<void(uint64_t)> &record);

} // namespace ods

#pragma once

#include "table_rows.h"

#include <QString>
#include <map>
#include <memory>

namespace dbaccess {

// The rows of a relation some of whose columns the private copy holds as
// nulls (a computed column its engine cannot compute): reading such a cell
// fails with `failures` (by column name), so whoever reads it leaves it
// empty and can say why; the other columns read as usual. `partial`, when
// the copy holds only some of the relation's records (a damaged table),
// is said as the rows' warning.
std::unique_ptr<TableRows> withFailingColumns(std::unique_ptr<TableRows> rows,
                                              const std::map<QString, QString> &failures,
                                              const QString &partial = {});

} // namespace dbaccess

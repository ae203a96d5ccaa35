#pragma once

#include <QString>
#include <optional>

namespace dbaccess {

// The table a query of the form SELECT * FROM "<name, each " doubled>"
// reads, the only query the program sends for a table's rows; nullopt for
// any other text.
std::optional<QString> selectAllTable(const QString &query);

} // namespace dbaccess

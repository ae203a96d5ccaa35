#pragma once

#include "ods/ods_database.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace dbaccess {

// One record of a system relation: the asked columns as text (names without
// their padding, numbers in digits), nullopt for null or for a column this
// version of the file does not have.
using SystemRecord = std::vector<std::optional<QString>>;

// Every record of a system relation through the reader's rows, as any
// relation is read; nothing when the file has no such relation.
void forEachSystemRecord(const ods::Database &database, const QString &relationName, const QStringList &columns,
                         const std::function<void(const SystemRecord &)> &use);

} // namespace dbaccess

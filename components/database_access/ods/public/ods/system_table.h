#pragma once

#include "ods_database.h"

#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ods {

// The rows of one of the file's system tables through the reader, its
// columns asked for by name: a table or column an older version lacks
// reads as empty.
class SystemTable {
public:
    SystemTable(const Database &database, const QString &name);

    bool next() { return m_rows && m_rows->next(); }
    bool isNull(const char *column) const;
    // CHAR and VARCHAR without their trailing blanks; a text BLOB whole.
    QString text(const char *column) const;
    std::optional<qint64> number(const char *column) const;

private:
    int indexOf(const char *column) const;

    const Database &m_database;
    const Relation *m_relation = nullptr;
    std::unique_ptr<Rows> m_rows;
    mutable std::map<std::string, int> m_indexes;
};

} // namespace ods

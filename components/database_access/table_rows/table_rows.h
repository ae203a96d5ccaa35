#pragma once

#include "database_access.h"

#include <QString>
#include <vector>

namespace dbaccess {

struct FieldDescription {
    QString name;
    int adoType = 0;
};

// The rows a recordset shows, whoever produces them: the on-disk reader, a
// list made in memory, or a query on a private copy.
class TableRows {
public:
    virtual ~TableRows() = default;
    virtual const std::vector<FieldDescription> &fields() const = 0;
    // Makes the next row current; false when there is none.
    virtual bool next() = 0;
    virtual ado::Value value(int field) const = 0;
    // The value as a worksheet cell; rows that know no declared types give
    // their text.
    virtual excel::Cell cell(int field) const { return excel::Cell(value(field).value_or(QString())); }
    // The exact number of rows, from the same picture the rows come from.
    virtual long count() = 0;
    // False once the connection the rows came through has been closed.
    virtual bool connectionOpen() const = 0;
    // What went wrong without ending the rows, for the recordset's warning.
    virtual QString warning() const { return {}; }
};

} // namespace dbaccess

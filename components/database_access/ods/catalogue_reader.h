#pragma once

// Fills an OdsFile's catalogue from its system tables: RDB$PAGES for the
// page lists and the transaction inventory, then RDB$RELATIONS,
// RDB$RELATION_FIELDS, RDB$FIELDS and RDB$FORMATS. The columns, from the
// last three, are built in catalogue_columns.cpp.

#include "ods_file.h"
#include "system_layouts.h"

#include <functional>

namespace ods {

class FieldReader;

class CatalogueReader {
public:
    explicit CatalogueReader(OdsFile &file) : m_file(file) {}
    void read();

private:
    void readPageInventory();
    void chooseConventions();
    void readRelations();
    void readColumns();
    void readFormats();

    // Every newest committed record of a system relation, in its built-in
    // layout or, for records of a later format, in that format.
    void forEachRecord(int relationId, const RecordFormat &layout, const std::function<void(const FieldReader &)> &use);
    QString blobText(int relationId, const QByteArray &blobId);

    OdsFile &m_file;
    BootstrapLayouts m_layouts;
};

} // namespace ods

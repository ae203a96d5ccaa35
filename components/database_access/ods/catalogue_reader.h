#pragma once

// Reads a file's catalogue from its system tables: RDB$PAGES for the
// page lists and the transaction inventory, then RDB$RELATIONS,
// RDB$RELATION_FIELDS, RDB$FIELDS and RDB$FORMATS. The columns, from the
// last three, are built in catalogue_columns.cpp.

#include "catalogue.h"
#include "header_page.h"
#include "page_file.h"
#include "record_store.h"
#include "system_layouts.h"
#include "transaction_inventory.h"

#include <functional>

namespace ods {

class FieldReader;

class CatalogueReader {
public:
    // Fills `transactions` from RDB$PAGES first: `store` reads records
    // through it.
    CatalogueReader(const PageFile &file, const Header &header, const RecordStore &store,
                    TransactionInventory &transactions)
        : m_file(file), m_header(header), m_store(store), m_transactions(transactions)
    {
    }
    Catalogue read();

private:
    void readPageInventory();
    void chooseConventions();
    void readRelations();
    void readColumns();
    void readFormats();

    // Every newest committed record of a system relation, in its built-in
    // layout or, for records of a later format, in that format; returns
    // what the walk passed over as damage.
    ReadLosses forEachRecord(int relationId, const RecordFormat &layout,
                             const std::function<void(const FieldReader &)> &use);
    StoredRelation &systemRelation(int relationId);
    QString blobText(int relationId, const QByteArray &blobId);

    const PageFile &m_file;
    const Header &m_header;
    const RecordStore &m_store;
    TransactionInventory &m_transactions;
    SystemConventions m_conventions;
    BootstrapLayouts m_layouts;
    Catalogue m_catalogue;
    bool m_pageListDamaged = false;   // records of RDB$PAGES were lost
};

} // namespace ods

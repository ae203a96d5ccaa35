#pragma once

// Reads a file's catalogue from its system tables: RDB$PAGES for the
// page lists and the transaction inventory, then RDB$RELATIONS,
// RDB$RELATION_FIELDS, RDB$FIELDS and RDB$FORMATS. Which shape those tables
// have is decided in catalogue_shape.cpp; the columns, from the last three,
// are built in catalogue_columns.cpp.

#include "catalogue.h"
#include "header_page.h"
#include "page_file.h"
#include "record_store.h"
#include "system_layouts.h"
#include "transaction_inventory.h"

#include <QString>
#include <functional>
#include <vector>

namespace ods {

class FieldReader;

class CatalogueReader {
public:
    // Fills `transactions` from RDB$PAGES first: `store` reads records
    // through it. `path` only names the file in messages.
    CatalogueReader(const QString &path, const PageFile &file, const Header &header, const RecordStore &store,
                    TransactionInventory &transactions)
        : m_path(path), m_file(file), m_header(header), m_store(store), m_transactions(transactions)
    {
    }
    Catalogue read();

private:
    // An RDB$FORMATS record with its descriptor's bytes, not yet decoded:
    // how to decode them is part of the catalogue's shape.
    struct StoredDescriptor {
        int relationId = 0;
        int format = 0;
        QByteArray content;
        bool readable = false;
    };

    void readPageInventory();
    void readDescriptors();
    void chooseShape();
    bool fits(const SystemCatalogueLayout &catalogue, const BootstrapLayouts &layouts);
    bool storedFormatsAgree(const SystemCatalogueLayout &catalogue, const BootstrapLayouts &layouts) const;
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

    const QString m_path;
    const PageFile &m_file;
    const Header &m_header;
    const RecordStore &m_store;
    TransactionInventory &m_transactions;
    const SystemCatalogueLayout *m_shape = nullptr;
    SystemConventions m_conventions;
    BootstrapLayouts m_layouts;
    std::vector<StoredDescriptor> m_descriptors;
    Catalogue m_catalogue;
    bool m_pageListDamaged = false;   // records of RDB$PAGES were lost
};

} // namespace ods

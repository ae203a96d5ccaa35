#pragma once

// One open database file and everything the reader keeps about it: the
// header, the transaction inventory, the page lists of every relation and the
// catalogue (relations, columns, record formats).

#include "header_page.h"
#include "ods_database.h"
#include "page_file.h"
#include "record_format.h"
#include "record_store.h"
#include "relation_pages.h"
#include "system_layouts.h"
#include "transaction_inventory.h"

#include <QString>
#include <map>
#include <memory>
#include <vector>

namespace ods {

struct StoredRelation {
    Relation relation;
    std::vector<uint32_t> pointerPages;       // by sequence
    BlobPages blobs;                          // InterBase from ODS 15
    // InterBase from ODS 18: the tablespace (a file of its own) the rows
    // are kept in, when not this file.
    QString tablespace;
    std::map<int, RecordFormat> formats;      // user relations: by format number
    RecordFormat systemFormat;                // system relations: the one format they have
    bool hasSystemFormat = false;
};

class OdsFile {
public:
    explicit OdsFile(const QString &path);

    const Header &header() const { return m_header; }
    const PageFile &file() const { return m_file; }
    const RecordStore &store() const { return m_store; }
    const std::vector<Relation> &relations() const { return m_relations; }
    const StoredRelation &stored(const Relation &relation) const;

    // Throws for a relation whose rows are kept in another file.
    RelationPages pagesOf(const StoredRelation &relation) const;
    // The format records of `relation` numbered `number` are stored in.
    const RecordFormat &format(const StoredRelation &relation, int number) const;

private:
    friend class CatalogueReader;

    PageFile m_file;
    Header m_header;
    TransactionInventory m_transactions;
    RecordStore m_store;
    SystemConventions m_conventions;
    std::vector<Relation> m_relations;
    std::map<int, StoredRelation> m_stored;   // by relation id
};

} // namespace ods

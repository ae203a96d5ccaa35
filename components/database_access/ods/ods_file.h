#pragma once

// One open database file and everything the reader keeps about it: the
// header, the transaction inventory, and the catalogue (relations, columns,
// record formats, where the records lie).

#include "catalogue.h"
#include "header_page.h"
#include "page_file.h"
#include "record_store.h"
#include "transaction_inventory.h"

#include <QString>
#include <vector>

namespace ods {

// The header page of `file`, whose page size `file` then reads by. A file
// whose header page is damaged while its other pages show a database is
// refused as such, not as no database at all.
Header readHeader(const PageFile &file, const QString &path);

class OdsFile {
public:
    explicit OdsFile(const QString &path);

    const Header &header() const { return m_header; }
    const RecordStore &store() const { return m_store; }
    const std::vector<Relation> &relations() const { return m_catalogue.relations; }
    const StoredRelation &stored(const Relation &relation) const;
    const PageFile &pages() const { return m_file; }

private:
    PageFile m_file;
    Header m_header;
    TransactionInventory m_transactions;
    RecordStore m_store;
    Catalogue m_catalogue;
};

} // namespace ods

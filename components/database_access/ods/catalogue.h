#pragma once

// What the catalogue reader finds in a file's system tables: every relation
// as the user sees it, and what the reader needs to read its rows (where
// its pages are, the formats its records were written in).

#include "file_contents.h"
#include "record_format.h"
#include "relation_pages.h"

#include <QString>
#include <map>
#include <vector>

namespace ods {

struct StoredRelation {
    Relation relation;
    std::vector<uint32_t> pointerPages;       // by sequence
    // The file's list of pointer pages is damaged: an empty list may be one
    // whose entries were lost.
    bool pointerPagesMayBeLost = false;
    BlobPages blobs;                          // InterBase from ODS 15
    // InterBase from ODS 18: the tablespace (a file of its own) the rows
    // are kept in, when not this file.
    QString tablespace;
    std::map<int, RecordFormat> formats;      // user relations: by format number
    RecordFormat systemFormat;                // system relations: the one format they have
    bool hasSystemFormat = false;

    // The format records numbered `number` are stored in.
    const RecordFormat &format(int number) const;
};

struct Catalogue {
    std::vector<Relation> relations;          // in RDB$RELATIONS order
    std::map<int, StoredRelation> stored;     // by relation id
};

// Where `relation`'s records lie; throws for a relation whose rows are kept
// in another file.
RelationPages pagesOf(const RecordStore &store, const StoredRelation &relation);

} // namespace ods

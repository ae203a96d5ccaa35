#pragma once

// Which on-disk layout a file uses, decided once from its ODS word: every
// rule that differs between the Firebird and InterBase versions this reader
// reads is a field here, so that a new version is a new entry in
// ods_version.cpp rather than a branch somewhere in the reader.

#include "on_disk_format.h"

#include <cstdint>
#include <span>

namespace ods {

struct SystemCatalogueLayout;

// Firebird's lineage includes InterBase's files up to ODS 10 (InterBase 4
// to 6), whose layout Firebird kept.
enum class Family { Firebird, InterBase };

// How a version writes an index's leaf nodes, where this reader knows it.
enum class IndexNodes {
    Unknown,
    FlaggedUpTo11,   // plain or compressed as each page's flags say
    Compressed12,    // compressed, after the page's jump table
};

struct OdsVersion {
    Family family = Family::Firebird;
    int majorFrom = 0;                          // the ODS versions this entry covers: majorFrom.minorFrom
    int minorFrom = 0;                          // to majorTo.anything
    int majorTo = 0;
    const disk::HeaderPageLayout *header = nullptr;
    // The shape of its catalogue, as measured on its files. Where no file
    // was at hand, null, and the shapes it may have instead: the file's own
    // system tables choose (CatalogueReader), and a file that fits none is
    // refused by name, as a version this reader does not read.
    const SystemCatalogueLayout *catalogue = nullptr;
    std::span<const SystemCatalogueLayout *const> possibleCatalogues = {};
    // Records a data page can hold: (page size - 28) / this. Firebird counts
    // a line index entry and a record header; InterBase from ODS 13 more.
    unsigned recordSlotBytes = unsigned(disk::LineEntry::size + disk::RecordHeader::size);
    // Bits a data page takes on its pointer page: its number and fill bits.
    unsigned pointerSlotBits = 34;
    bool pointerSlotsInEights = false;          // Firebird from ODS 12 rounds down to a multiple of 8
    bool longTransactions = false;              // Firebird from ODS 12: record flags LongTransaction, NotPacked
    int longRunsFromMinor = -1;                 // Firebird 13.1 on: -1/-2 announce long runs; -1: never
    bool pagesMayBeEncrypted = false;           // Firebird from ODS 12: page flag 0x80
    // InterBase from ODS 15: BLOBs live apart from the rows, their headers on
    // type 12 pages listed by type 11 pointer pages, and a table may set
    // its own BLOB records per page (RDB$BLOB_BLOCKING_FACTOR).
    bool blobsApart = false;
    // InterBase from ODS 13: RDB$FIELD_TYPE 17 is BOOLEAN, stored in 2 bytes
    // as internal type 20, and character set numbers differ from Firebird's.
    bool interbaseTypes = false;
    // Firebird's own b-tree pages; InterBase's later ones were never published.
    IndexNodes indexNodes = IndexNodes::Unknown;

    bool interbase() const { return family == Family::InterBase; }
    bool catalogueFromFile() const { return catalogue == nullptr; }
    // The shapes to try, the measured one alone where there is one.
    std::span<const SystemCatalogueLayout *const> catalogues() const
    {
        return catalogueFromFile() ? possibleCatalogues : std::span<const SystemCatalogueLayout *const>(&catalogue, 1);
    }
};

// The header page layout of files whose header says `odsWord` (major, with
// Firebird's 0x8000 flag or without): every minor of a major shares it, so
// the minor is read with it. For a version this reader does not read, its
// nearest neighbour's in the same lineage: enough to name it in a refusal.
const disk::HeaderPageLayout &headerLayoutOf(uint16_t odsWord);

// The layout of a file whose header says `odsWord` and `minor`; null when
// this reader knows none. header_page.cpp words the refusal of the rest.
const OdsVersion *odsVersionOf(uint16_t odsWord, int minor);

} // namespace ods

#pragma once

// The on-disk structures this reader reads, field by field, with their byte
// offsets (little-endian) for every layout a Firebird or InterBase version
// has written. Code reads pages through these names only. Where a structure
// changed, each layout is one constant of the same struct type; which layout
// a file uses is decided in ods_version.cpp alone.

#include <cstddef>
#include <cstdint>

namespace ods::disk {

// Every page starts with this header.
struct PageHeader {
    static constexpr size_t type = 0;        // 1 byte, see PageType
    static constexpr size_t flags = 1;       // 1 byte, meaning per page type
    static constexpr size_t checksum = 2;    // 2 bytes
    static constexpr size_t generation = 4;  // 4 bytes
    static constexpr size_t size = 16;
    static constexpr uint8_t encryptedFlag = 0x80;   // Firebird from ODS 12, data and BLOB pages
};

// Page 0. Page size and ODS word sit where every version has kept them; the
// rest moved with the versions, so each layout names its own offsets.
struct HeaderPageCommon {
    static constexpr size_t pageSize = 16;   // 2 bytes
    static constexpr size_t odsWord = 18;    // 2 bytes: major, | 0x8000 for Firebird's own ODS
    static constexpr uint16_t firebirdFlag = 0x8000;
};
static_assert(HeaderPageCommon::pageSize == PageHeader::size);

struct HeaderPageLayout {
    size_t pagesRelation;          // 4 bytes: first pointer page of RDB$PAGES
    size_t oldestInteresting;
    size_t nextTransaction;
    size_t transactionWidth;       // 4 or 8 bytes
    size_t flags;                  // 2 bytes
    uint16_t dialect3Flag;
    uint16_t encryptedFlag;        // 0: the layout has no such flag
    size_t odsMinor;               // 2 bytes
    size_t odsMinorOriginal;       // 2 bytes; 0: not recorded
    // 48-bit transaction numbers keep their high 16 bits apart (0: none).
    size_t oldestInterestingHigh;
    size_t nextTransactionHigh;
    size_t creationDate;           // 8 bytes: date and time the database was created
};

// The layouts below keep their fields apart: each transaction number ends
// before the next field begins.
constexpr bool fieldsApart(const HeaderPageLayout &layout)
{
    return layout.oldestInteresting + layout.transactionWidth <= layout.nextTransaction &&
           layout.pagesRelation >= HeaderPageCommon::odsWord + 2 && layout.odsMinor >= HeaderPageCommon::odsWord + 2;
}

// InterBase 6, Firebird 1 to 2.5 (ODS 10, 11).
inline constexpr HeaderPageLayout headerOds10{.pagesRelation = 20,
                                              .oldestInteresting = 28,
                                              .nextTransaction = 36,
                                              .transactionWidth = 4,
                                              .flags = 42,
                                              .dialect3Flag = 0x100,
                                              .encryptedFlag = 0,
                                              .odsMinor = 62,
                                              .odsMinorOriginal = 64,
                                              .oldestInterestingHigh = 0,
                                              .nextTransactionHigh = 0,
                                              .creationDate = 44};
// Firebird 3 (ODS 12): 48-bit transaction numbers.
inline constexpr HeaderPageLayout headerFirebird12{.pagesRelation = 20,
                                                   .oldestInteresting = 28,
                                                   .nextTransaction = 36,
                                                   .transactionWidth = 4,
                                                   .flags = 42,
                                                   .dialect3Flag = 0x10,
                                                   .encryptedFlag = 0x40,
                                                   .odsMinor = 64,
                                                   .odsMinorOriginal = 0,
                                                   .oldestInterestingHigh = 126,
                                                   .nextTransactionHigh = 124,
                                                   .creationDate = 44};
// Firebird 4 and 5 (ODS 13): one field fewer before the high words.
inline constexpr HeaderPageLayout headerFirebird13{.pagesRelation = 20,
                                                   .oldestInteresting = 28,
                                                   .nextTransaction = 36,
                                                   .transactionWidth = 4,
                                                   .flags = 42,
                                                   .dialect3Flag = 0x10,
                                                   .encryptedFlag = 0x40,
                                                   .odsMinor = 64,
                                                   .odsMinorOriginal = 0,
                                                   .oldestInterestingHigh = 122,
                                                   .nextTransactionHigh = 120,
                                                   .creationDate = 44};
// InterBase 2009 to XE3 (ODS 13 to 15) keep InterBase 6's layout.
inline constexpr HeaderPageLayout headerInterBase13 = headerOds10;
// InterBase XE7 and later (ODS 16 on): 64-bit transaction numbers in a new
// layout (oldest active at 32, oldest snapshot at 48, creation date at 68).
inline constexpr HeaderPageLayout headerInterBase16{.pagesRelation = 56,
                                                    .oldestInteresting = 24,
                                                    .nextTransaction = 40,
                                                    .transactionWidth = 8,
                                                    .flags = 108,
                                                    .dialect3Flag = 0x100,
                                                    .encryptedFlag = 0,
                                                    .odsMinor = 20,
                                                    .odsMinorOriginal = 0,
                                                    .oldestInterestingHigh = 0,
                                                    .nextTransactionHigh = 0,
                                                    .creationDate = 68};
static_assert(fieldsApart(headerOds10) && fieldsApart(headerFirebird12) && fieldsApart(headerFirebird13) &&
              fieldsApart(headerInterBase16));

// Type 4 pointer pages (and InterBase's types 11 and 14, laid out alike):
// a relation's data pages, in sequence. After the page list lie per-page
// fill bits this reader does not need.
struct PointerPage {
    static constexpr uint8_t lastFlag = 1;   // in the page header's flags: the relation's last pointer page
    static constexpr size_t sequence = 16;   // 4 bytes
    static constexpr size_t next = 20;       // 4 bytes: the next pointer page
    static constexpr size_t count = 24;      // 2 bytes: pages listed
    static constexpr size_t relation = 26;   // 2 bytes
    static constexpr size_t minSpace = 28;   // 2 bytes
    static constexpr size_t maxSpace = 30;   // 2 bytes
    static constexpr size_t pages = 32;      // 4 bytes a page
};
static_assert(PointerPage::sequence == PageHeader::size);

// Type 5 data pages (and InterBase's type 12 BLOB data pages).
struct DataPage {
    static constexpr size_t sequence = 16;   // 4 bytes: index in the relation's page list
    static constexpr size_t relation = 20;   // 2 bytes
    static constexpr size_t count = 22;      // 2 bytes: lines
    static constexpr size_t lines = 24;      // 4 bytes a line:
    static constexpr size_t lineOffset = 0;  //   2 bytes, 0: empty line
    static constexpr size_t lineLength = 2;  //   2 bytes
    static constexpr size_t lineSize = 4;
};
static_assert(DataPage::sequence == PageHeader::size && DataPage::lines == DataPage::count + 2);

// The header of every record version on a data page.
struct RecordHeader {
    static constexpr size_t transaction = 0; // 4 bytes (low bits)
    static constexpr size_t backPage = 4;    // 4 bytes: older version
    static constexpr size_t backLine = 8;    // 2 bytes
    static constexpr size_t flags = 10;      // 2 bytes, see RecordFlag
    static constexpr size_t format = 12;     // 1 byte
    static constexpr size_t size = 13;
    // Firebird from ODS 12, flag LongTransaction: 16 more bits of transaction.
    static constexpr size_t transactionHigh = 14;  // 2 bytes
    static constexpr size_t longSize = 16;
};
static_assert(RecordHeader::format + 1 == RecordHeader::size &&
              RecordHeader::transactionHigh + 2 == RecordHeader::longSize);

// A record too long for its page: its head carries where the rest goes on.
struct FragmentedHeader {
    static constexpr size_t fragmentPage = 16;   // 4 bytes
    static constexpr size_t fragmentLine = 20;   // 2 bytes
    static constexpr size_t size = 22;
};
static_assert(FragmentedHeader::fragmentPage >= RecordHeader::longSize);

// A BLOB's header record (record flag BlobHeader), where a BLOB id points.
struct BlobHeader {
    static constexpr size_t leadPage = 0;    // 4 bytes
    static constexpr size_t maxSequence = 4; // 4 bytes
    static constexpr size_t maxSegment = 8;  // 2 bytes
    static constexpr size_t flags = 10;      // 2 bytes, the record's flags
    static constexpr size_t level = 12;      // 1 byte: 0 data here, 1 page list, 2 list of page lists
    static constexpr size_t segments = 16;   // 4 bytes
    static constexpr size_t length = 20;     // 4 bytes: bytes of content
    static constexpr size_t subType = 24;    // 2 bytes
    static constexpr size_t charset = 26;    // 1 byte
    static constexpr size_t data = 28;       // the content (level 0) or the page list
    static constexpr uint16_t streamFlag = 32;   // not split in segments
};
static_assert(BlobHeader::flags == RecordHeader::flags && BlobHeader::level == RecordHeader::format);
static_assert(BlobHeader::length + 4 == BlobHeader::subType && BlobHeader::charset + 2 == BlobHeader::data);

// A BLOB id as rows hold it: which record of which table holds the header.
struct BlobId {
    static constexpr size_t relation = 0;    // 2 bytes
    static constexpr size_t numberHigh = 3;  // 1 byte: bits 32-39 of the record number
    static constexpr size_t number = 4;      // 4 bytes
    static constexpr size_t size = 8;
};

// Type 8 BLOB pages.
struct BlobPage {
    static constexpr uint8_t pointerFlag = 1;    // page flags: lists BLOB pages, holds no data
    static constexpr size_t leadPage = 16;   // 4 bytes
    static constexpr size_t sequence = 20;   // 4 bytes
    static constexpr size_t length = 24;     // 2 bytes: bytes used
    static constexpr size_t data = 28;
};
static_assert(BlobPage::leadPage == PageHeader::size);

// Type 3 transaction inventory pages: two bits a transaction.
struct TransactionInventoryPage {
    static constexpr size_t next = 16;       // 4 bytes
    static constexpr size_t states = 20;     // 2 bits a transaction, the lowest first
    static constexpr unsigned statesPerByte = 4;
};

// One field's entry in an RDB$FORMATS descriptor. Before Firebird's ODS 12,
// and in InterBase, the BLOB is the bare array of entries.
struct FormatEntryLayout {
    size_t size;
    size_t dtype;        // 1 byte
    size_t scale;        // 1 byte, signed
    size_t length;       // 2 bytes
    size_t subType;      // 2 bytes, signed
    size_t offset;       // 4 bytes: the field's place in the record, 0: not stored
};
// InterBase 6, Firebird (32-bit engines); 64-bit ones padded entries to 16.
inline constexpr FormatEntryLayout formatEntry12{.size = 12, .dtype = 0, .scale = 1, .length = 2, .subType = 4, .offset = 8};
inline constexpr FormatEntryLayout formatEntryPadded16{
    .size = 16, .dtype = 0, .scale = 1, .length = 2, .subType = 4, .offset = 8};
// InterBase from ODS 13: byte 3 holds the precision, 8-11 flags.
inline constexpr FormatEntryLayout formatEntryInterBase13{
    .size = 16, .dtype = 1, .scale = 2, .length = 4, .subType = 6, .offset = 12};
// Firebird from ODS 12: a count, the entries (formatEntry12), a count of
// default values, then each default: the field id, an entry, its bytes.
struct CountedFormat {
    static constexpr size_t countBytes = 2;
    static constexpr size_t fieldIdBytes = 2;
};

constexpr bool fitsEntry(const FormatEntryLayout &entry)
{
    return entry.offset + 4 <= entry.size && entry.subType + 2 <= entry.offset && entry.length + 2 <= entry.subType;
}
static_assert(fitsEntry(formatEntry12) && fitsEntry(formatEntryPadded16) && fitsEntry(formatEntryInterBase13));

} // namespace ods::disk

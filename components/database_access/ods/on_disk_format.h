#pragma once

// The on-disk structures this reader reads, field by field, for every layout
// a Firebird or InterBase version has written. Code reads pages through these
// names only, and only through a bounded view of the page (page_view.h).
// Where a structure changed, each layout is one constant of the same struct
// type; which layout a file uses is decided in ods_version.cpp alone.
//
// A walk through a file, from its first byte to the text of a BLOB:
//
// The file is a row of pages of one size, 1 KB to 32 KB; page n starts at
// n times that size. The first 16 bytes of every page say what kind of page
// it is (PageType) and carry flags whose meaning depends on that kind.
//
// Page 0, the header page, gives the page size and the on-disk structure
// (ODS) version, the first pointer page of RDB$PAGES, the transaction
// numbers that decide which record versions count, and the SQL dialect.
// Where those lie after the first 20 bytes changed with the versions
// (HeaderPageLayout).
//
// Every table keeps its records on data pages, which its pointer pages list
// in order. RDB$PAGES (table 0) is the directory of those pointer pages and
// of the transaction inventory pages; its own pointer pages are not in it
// but chained from the header page, each naming the next until one carries
// the last-page flag. So the reader reads RDB$PAGES first, then the other
// system tables that describe the catalogue (system_layouts.h), then the
// user's tables.
//
// A data page holds an index of lines: a count, then an offset and a length
// for each line, offset 0 for a line that is empty. Each line holds one
// record version, a fragment of one, or a BLOB header. A record version
// opens with a 13-byte header (RecordHeader): the transaction that wrote it,
// where its older version lies (page and line, 0: none), flags (RecordFlag)
// and the number of the table format it was written in. Its data follow,
// compressed in runs (record_codec.h); a record too long for its page keeps
// its head here and continues on fragments it points to.
//
// The newest version is the one the line holds. When the transaction that
// wrote it had not committed, as the transaction inventory pages say (two
// bits a transaction), the reader follows the back pointers to the newest
// version that had; an older version may be stored only as its differences
// from the newer one.
//
// Decompressed, a record is a bit per field saying null, then the fields at
// the offsets its format gives. A user table's formats are descriptors in
// RDB$FORMATS; the system tables' built-in formats follow from their field
// lists.
//
// A BLOB column holds an 8-byte BLOB id: its table and a record number. The
// number names a line by position: which data page of the table (through its
// pointer pages) and which line on it. That line holds the BLOB header; at
// level 0 the content follows the header, at level 1 the header lists BLOB
// pages that hold it, at level 2 it lists BLOB pages that list them. Unless
// the header is flagged as a stream, the content is segments, each behind its
// 2-byte length. InterBase from ODS 15 keeps BLOB headers on pages of their
// own (types 11 and 12), listed apart from the table's data pages.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace ods {

// The first byte of every page.
enum PageType : uint8_t {
    HeaderPage = 1,
    InventoryPage = 2,       // which pages are in use; not read
    TransactionPage = 3,
    PointerPage = 4,
    DataPage = 5,
    IndexPage = 7,           // a page of an index's b-tree
    BlobPage = 8,
    // InterBase from ODS 15: pointer pages of a table's BLOB headers, the
    // data pages holding them, and (from ODS 16) pointer pages of data pages
    // holding only the tails of long records, which their heads lead to.
    BlobPointerPage = 11,
    BlobDataPage = 12,
    TailPointerPage = 14,
};

namespace disk {

// One field of an on-disk structure: its offset, and by its type its width.
// Every number is little-endian; T's signedness is how the field is read.
template <typename T>
struct Field {
    using Value = T;
    static constexpr size_t size = sizeof(T);
    size_t offset = 0;

    constexpr size_t end() const { return offset + size; }
    // The same field in an entry or record that starts `base` bytes in.
    constexpr Field within(size_t base) const { return Field{base + offset}; }
};
using Field8 = Field<uint8_t>;
using Field16 = Field<uint16_t>;
using Field32 = Field<uint32_t>;

// A run of equal entries from `offset` on, as many as a count elsewhere
// says: a pointer page's page numbers, a data page's line index.
struct Array {
    size_t offset = 0;
    size_t entrySize = 0;

    constexpr size_t entry(size_t index) const { return offset + index * entrySize; }
};

// True when each field starts where the one before it ends.
template <typename First, typename... Rest>
constexpr bool contiguous(const First &first, const Rest &...rest)
{
    size_t end = first.end();
    return ((rest.offset == end ? (end = rest.end(), true) : false) && ...);
}

// Every page starts with these 16 bytes. Bytes 8 to 15 changed meaning
// with the versions and are not read.
struct PageHeader {
    static constexpr Field8 type{0};         // see PageType
    static constexpr Field8 flags{1};        // meaning per page type
    static constexpr Field16 checksum{2};    // 12345 up to ODS 11 and in InterBase: not a check
    static constexpr Field32 generation{4};
    static constexpr size_t size = 16;
    static constexpr uint8_t encryptedFlag = 0x80;   // Firebird from ODS 12, data and BLOB pages
};
static_assert(contiguous(PageHeader::type, PageHeader::flags, PageHeader::checksum, PageHeader::generation) &&
              PageHeader::generation.end() <= PageHeader::size);

// Page 0. Page size and ODS word sit where every version has kept them; the
// rest moved with the versions, so each layout names its own offsets.
struct HeaderPageCommon {
    static constexpr Field16 pageSize{16};
    static constexpr Field16 odsWord{18};    // major, | 0x8000 for Firebird's own ODS (from 11)
    static constexpr uint16_t firebirdFlag = 0x8000;
    static constexpr size_t bytesRead = 1024;   // every layout's fields lie in the smallest page
};
static_assert(HeaderPageCommon::pageSize.offset == PageHeader::size &&
              contiguous(HeaderPageCommon::pageSize, HeaderPageCommon::odsWord));

// A transaction number: its low 32 bits, and where a layout keeps more, the
// bits above them (offset 0, the page type, stands for none).
struct TransactionField {
    Field32 low;
    Field16 high16{};   // Firebird from ODS 12: bits 32 to 47, in a word of their own
    Field32 high32{};   // InterBase from ODS 16: bits 32 to 63, right after the low ones

    constexpr size_t end() const { return high32.offset ? high32.end() : low.end(); }
};

struct HeaderPageLayout {
    Field32 pagesRelation;           // first pointer page of RDB$PAGES
    TransactionField oldestInteresting;
    TransactionField nextTransaction;
    Field16 flags;
    uint16_t dialect3Flag;
    uint16_t encryptedFlag;          // 0: the layout has no such flag
    Field16 odsMinor;
    Field16 odsMinorOriginal;        // the minor the file was created with; offset 0: not recorded
    // When the database was created: the day, then the time of day.
    Field32 creationDay;
    Field32 creationTime;
};

// The layouts below keep their fields apart: each transaction number ends
// before the next field begins, and nothing overlaps the common fields.
constexpr bool fieldsApart(const HeaderPageLayout &layout)
{
    const size_t common = HeaderPageCommon::odsWord.end();
    return layout.oldestInteresting.end() <= layout.nextTransaction.low.offset &&
           layout.pagesRelation.offset >= common && layout.odsMinor.offset >= common &&
           layout.nextTransaction.end() <= HeaderPageCommon::bytesRead &&
           layout.oldestInteresting.high16.end() <= HeaderPageCommon::bytesRead &&
           layout.nextTransaction.high16.end() <= HeaderPageCommon::bytesRead;
}

// InterBase 4 to 6, Firebird 1 to 2.5 (ODS 8 to 11).
inline constexpr HeaderPageLayout headerOds10{.pagesRelation = {20},
                                              .oldestInteresting = {.low = {28}},
                                              .nextTransaction = {.low = {36}},
                                              .flags = {42},
                                              .dialect3Flag = 0x100,
                                              .encryptedFlag = 0,
                                              .odsMinor = {62},
                                              .odsMinorOriginal = {64},
                                              .creationDay = {44},
                                              .creationTime = {48}};
// Firebird 3 (ODS 12): 48-bit transaction numbers.
inline constexpr HeaderPageLayout headerFirebird12{.pagesRelation = {20},
                                                   .oldestInteresting = {.low = {28}, .high16 = {126}},
                                                   .nextTransaction = {.low = {36}, .high16 = {124}},
                                                   .flags = {42},
                                                   .dialect3Flag = 0x10,
                                                   .encryptedFlag = 0x40,
                                                   .odsMinor = {64},
                                                   .odsMinorOriginal = {},
                                                   .creationDay = {44},
                                                   .creationTime = {48}};
// Firebird 4 and 5 (ODS 13): one field fewer before the high words.
inline constexpr HeaderPageLayout headerFirebird13{.pagesRelation = {20},
                                                   .oldestInteresting = {.low = {28}, .high16 = {122}},
                                                   .nextTransaction = {.low = {36}, .high16 = {120}},
                                                   .flags = {42},
                                                   .dialect3Flag = 0x10,
                                                   .encryptedFlag = 0x40,
                                                   .odsMinor = {64},
                                                   .odsMinorOriginal = {},
                                                   .creationDay = {44},
                                                   .creationTime = {48}};
// InterBase 2009 to XE3 (ODS 13 to 15) keep InterBase 6's layout.
inline constexpr HeaderPageLayout headerInterBase13 = headerOds10;
// InterBase XE7 and later (ODS 16 on): 64-bit transaction numbers in a new
// layout (oldest active at 32, oldest snapshot at 48, creation date at 68).
inline constexpr HeaderPageLayout headerInterBase16{.pagesRelation = {56},
                                                    .oldestInteresting = {.low = {24}, .high32 = {28}},
                                                    .nextTransaction = {.low = {40}, .high32 = {44}},
                                                    .flags = {108},
                                                    .dialect3Flag = 0x100,
                                                    .encryptedFlag = 0,
                                                    .odsMinor = {20},
                                                    .odsMinorOriginal = {},
                                                    .creationDay = {68},
                                                    .creationTime = {72}};
static_assert(fieldsApart(headerOds10) && fieldsApart(headerFirebird12) && fieldsApart(headerFirebird13) &&
              fieldsApart(headerInterBase16));
static_assert(contiguous(headerInterBase16.oldestInteresting.low, headerInterBase16.oldestInteresting.high32) &&
              contiguous(headerInterBase16.nextTransaction.low, headerInterBase16.nextTransaction.high32));

// After a header page's fixed fields lie entries, each a code byte, a length
// byte and that many bytes, up to code 0. A database kept in several files
// names its next file here (the primary file in page 0, each continuation
// in its own first page, which holds no page of the database) with the
// last page of the file whose header this is; the next file holds the
// pages after it. Firebird renumbered the codes with ODS 12.
struct HeaderEntriesLayout {
    size_t start;                // the first entry
    Field16 end;                 // where code 0 lies
    uint8_t file;                // the next file's name, as its maker wrote it
    uint8_t lastPage;            // 4 bytes
    Field32 nextHeaderPage{};    // a page that continues the entries; offset 0: none kept
    Field16 sequence{};          // the file's place among the database's files, 0: the primary
};
inline constexpr HeaderEntriesLayout entriesOds10{
    .start = 96, .end = {66}, .file = 3, .lastPage = 4, .nextHeaderPage = {24}, .sequence = {40}};
inline constexpr HeaderEntriesLayout entriesFirebird12{
    .start = 132, .end = {66}, .file = 2, .lastPage = 3, .nextHeaderPage = {24}, .sequence = {40}};
inline constexpr HeaderEntriesLayout entriesFirebird13{
    .start = 128, .end = {66}, .file = 2, .lastPage = 3, .nextHeaderPage = {24}, .sequence = {40}};
// InterBase from ODS 16: the entries start further on and keep the old
// codes (a sweep interval, code 6, is where they start in every file seen).
inline constexpr HeaderEntriesLayout entriesInterBase16{.start = 136, .end = {116}, .file = 3, .lastPage = 4};
static_assert(entriesOds10.start >= headerOds10.odsMinorOriginal.end() &&
              entriesFirebird12.start >= headerFirebird12.oldestInteresting.high16.end() &&
              entriesFirebird13.start >= headerFirebird13.oldestInteresting.high16.end() &&
              entriesInterBase16.start >= headerInterBase16.creationTime.end());

// A 4-byte page number in a list of them.
struct PageNumberEntry {
    static constexpr Field32 page{0};
    static constexpr size_t size = 4;
};

// Type 4 pointer pages (and InterBase's types 11 and 14, laid out alike):
// a table's data pages, in sequence. After the page list lie per-page fill
// bits this reader does not need.
struct PointerPage {
    static constexpr uint8_t lastFlag = 1;   // page flags: the table's last pointer page
    static constexpr Field32 sequence{16};
    static constexpr Field32 next{20};       // the next pointer page
    static constexpr Field16 count{24};      // pages listed
    static constexpr Field16 relation{26};
    static constexpr Field16 minSpace{28};
    static constexpr Field16 maxSpace{30};   // before ODS 12; padding from then on
    static constexpr Array pages{32, PageNumberEntry::size};
};
static_assert(PointerPage::sequence.offset == PageHeader::size &&
              contiguous(PointerPage::sequence, PointerPage::next, PointerPage::count, PointerPage::relation,
                         PointerPage::minSpace, PointerPage::maxSpace) &&
              PointerPage::pages.offset == PointerPage::maxSpace.end());

// An entry of a data page's line index.
struct LineEntry {
    static constexpr Field16 offset{0};      // 0: an empty line
    static constexpr Field16 length{2};
    static constexpr size_t size = 4;
};
static_assert(contiguous(LineEntry::offset, LineEntry::length) && LineEntry::length.end() == LineEntry::size);

// Type 5 data pages (and InterBase's type 12 BLOB data pages).
struct DataPage {
    static constexpr Field32 sequence{16};   // index in the table's page list
    static constexpr Field16 relation{20};
    static constexpr Field16 count{22};      // lines
    static constexpr Array lines{24, LineEntry::size};
};
static_assert(DataPage::sequence.offset == PageHeader::size &&
              contiguous(DataPage::sequence, DataPage::relation, DataPage::count) &&
              DataPage::lines.offset == DataPage::count.end());

// Type 7 pages: one level of one index of a table. Leaf pages (level 0)
// hold a node per indexed record version: its key, compressed against the
// node before, and its record number. Nodes run from the first node to
// `length`, ending in a node marked end of bucket or end of level.
struct IndexPage {
    static constexpr Field32 sibling{16};       // the next page of the level, 0: the last
    static constexpr Field32 leftSibling{20};   // 0: the first
    static constexpr Field16 relation{28};
    static constexpr Field16 length{30};     // bytes in use, from the page's start
    static constexpr Field8 id{32};
    static constexpr Field8 level{33};
    // Up to ODS 11 the page flags say how nodes are written.
    static constexpr size_t nodesUpTo11 = 34;
    static constexpr uint8_t compressedFlag = 32;   // "large keys": variable-length nodes
    static constexpr uint8_t jumpInfoFlag = 64;     // a jump table before the first node
    static constexpr Field16 firstNodeUpTo11{34};   // with jumpInfoFlag: where the first node starts
    // From ODS 12 nodes are always compressed and follow a jump table.
    static constexpr Field16 jumpSize{36};
    static constexpr size_t jumpTableFrom12 = 39;
};
static_assert(IndexPage::length.offset == IndexPage::relation.end() && IndexPage::id.offset == IndexPage::length.end() &&
              IndexPage::level.end() == IndexPage::nodesUpTo11);

// A plain (uncompressed) leaf node: prefix and key length, then the record
// number, negative for the end markers, then the key.
struct PlainIndexNode {
    static constexpr Field8 prefix{0};
    static constexpr Field8 length{1};
    static constexpr Field32 number{2};
    static constexpr size_t size = 6;
    static constexpr int32_t endOfLevel = -1;
    static constexpr int32_t endOfBucket = -2;
};

// A compressed node: its kind in the top three bits of its first byte, the
// record number's low bits below them and in 7-bit groups after it (the top
// bit of each saying another follows), then prefix and key length in groups
// as its kind needs, then the key.
struct CompressedIndexNode {
    static constexpr unsigned kindShift = 5;
    static constexpr uint8_t numberBitsInFirst = 0x1F;
    static constexpr int numberGroups = 5;
    static constexpr int lengthGroups = 2;   // prefix and key length alike
    enum Kind : unsigned { normal, endOfLevel, endOfBucket, noPrefixNoKey, noKey, oneByteKey };
};

// The header of every record version on a data page.
struct RecordHeader {
    static constexpr Field32 transaction{0};   // low 32 bits
    static constexpr Field32 backPage{4};      // older version
    static constexpr Field16 backLine{8};
    static constexpr Field16 flags{10};        // see RecordFlag
    static constexpr Field8 format{12};
    static constexpr size_t size = 13;
    // Firebird from ODS 12, flag LongTransaction: 16 more bits of
    // transaction after a byte of padding.
    static constexpr Field16 transactionHigh{14};
    static constexpr size_t longSize = 16;
};
static_assert(contiguous(RecordHeader::transaction, RecordHeader::backPage, RecordHeader::backLine,
                         RecordHeader::flags, RecordHeader::format) &&
              RecordHeader::format.end() == RecordHeader::size &&
              RecordHeader::transactionHigh.end() == RecordHeader::longSize);

} // namespace disk

// The flags of a record header, and of a BLOB header, which keeps its flags
// in the same place. Flags 64 to 512 (large, damaged, being garbage
// collected, key changed) change nothing this reader reads; so do the
// 0x200, 0x1000 and (from ODS 16) 0x2000 InterBase sets.
enum RecordFlag : uint16_t {
    Deleted = 1,             // the record was deleted: this version is what is left
    OldVersion = 2,          // a back version, reached only from a newer one
    Fragment = 4,            // the continuation of a longer record
    Incomplete = 8,          // continued in a fragment (FragmentedHeader)
    BlobHeader = 16,         // no record: the header of a BLOB (disk::BlobHeader)
    // Flag 32 means one thing on a record and another on a BLOB header, in
    // every version this reader reads:
    DeltaBelow = 32,         //   a record: its back version is stored as differences from it
    StreamBlob = 32,         //   a BLOB header: the content is one stream, not segments
    LongTransaction = 1024,  // Firebird from ODS 12: the header is RecordHeader::longSize bytes
    NotPacked = 2048,        // Firebird from ODS 13: the data are stored as they are
};

namespace disk {

// A record too long for its page: its head carries where the rest goes on.
struct FragmentedHeader {
    static constexpr Field32 fragmentPage{16};
    static constexpr Field16 fragmentLine{20};
    static constexpr size_t size = 22;
};
static_assert(FragmentedHeader::fragmentPage.offset >= RecordHeader::longSize &&
              contiguous(FragmentedHeader::fragmentPage, FragmentedHeader::fragmentLine) &&
              FragmentedHeader::fragmentLine.end() == FragmentedHeader::size);

// A BLOB's header record (flag BlobHeader), where a BLOB id points.
struct BlobHeader {
    static constexpr Field32 leadPage{0};
    static constexpr Field32 maxSequence{4};
    static constexpr Field16 maxSegment{8};
    static constexpr Field16 flags{10};      // the record's flags
    static constexpr Field8 level{12};       // 0 data here, 1 page list, 2 list of page lists
    static constexpr Field32 segments{16};
    static constexpr Field32 length{20};     // bytes of content
    static constexpr Field16 subType{24};
    static constexpr Field8 charset{26};     // Firebird from ODS 11.1
    static constexpr Array data{28, PageNumberEntry::size};   // the content (level 0) or the page list
};
static_assert(BlobHeader::flags.offset == RecordHeader::flags.offset &&
              BlobHeader::level.offset == RecordHeader::format.offset);
static_assert(contiguous(BlobHeader::leadPage, BlobHeader::maxSequence, BlobHeader::maxSegment, BlobHeader::flags,
                         BlobHeader::level) &&
              contiguous(BlobHeader::segments, BlobHeader::length, BlobHeader::subType, BlobHeader::charset) &&
              BlobHeader::data.offset == BlobHeader::charset.end() + 1);

// A BLOB id as rows hold it: which record of which table holds the header.
struct BlobId {
    static constexpr Field16 relation{0};
    static constexpr Field8 numberHigh{3};   // bits 32-39 of the record number
    static constexpr Field32 number{4};
    static constexpr size_t size = 8;
};
static_assert(contiguous(BlobId::numberHigh, BlobId::number) && BlobId::number.end() == BlobId::size);

// Type 8 BLOB pages.
struct BlobPage {
    static constexpr uint8_t pointerFlag = 1;   // page flags: lists BLOB pages, holds no data
    static constexpr Field32 leadPage{16};
    static constexpr Field32 sequence{20};
    static constexpr Field16 length{24};     // bytes used
    static constexpr Array data{28, PageNumberEntry::size};   // content, or page numbers
};
static_assert(BlobPage::leadPage.offset == PageHeader::size &&
              contiguous(BlobPage::leadPage, BlobPage::sequence, BlobPage::length) &&
              BlobPage::data.offset == BlobPage::length.end() + 2);

// Type 3 transaction inventory pages: two bits a transaction.
struct TransactionInventoryPage {
    static constexpr Field32 next{16};
    static constexpr size_t states = 20;     // 2 bits a transaction, the lowest first
    static constexpr unsigned statesPerByte = 4;
    static constexpr uint8_t committed = 3;
};
static_assert(TransactionInventoryPage::next.offset == PageHeader::size &&
              TransactionInventoryPage::states == TransactionInventoryPage::next.end());

// One field's entry in an RDB$FORMATS descriptor. Before Firebird's ODS 12,
// and in InterBase, the BLOB is the bare array of entries.
struct FormatEntryLayout {
    size_t size;
    Field8 dtype;
    Field<int8_t> scale;
    Field16 length;
    Field<int16_t> subType;
    Field32 offset;      // the field's place in the record, 0: not stored
};
// InterBase 6, Firebird (32-bit engines); 64-bit ones padded entries to 16.
inline constexpr FormatEntryLayout formatEntry12{
    .size = 12, .dtype = {0}, .scale = {1}, .length = {2}, .subType = {4}, .offset = {8}};
inline constexpr FormatEntryLayout formatEntryPadded16{
    .size = 16, .dtype = {0}, .scale = {1}, .length = {2}, .subType = {4}, .offset = {8}};
// InterBase from ODS 13: byte 3 holds the precision, 8-11 flags.
inline constexpr FormatEntryLayout formatEntryInterBase13{
    .size = 16, .dtype = {1}, .scale = {2}, .length = {4}, .subType = {6}, .offset = {12}};
// Firebird from ODS 12: a count, the entries (formatEntry12), a count of
// default values, then each default: the field id, an entry, its bytes.
struct CountedFormat {
    static constexpr Field16 count{0};
    static constexpr Field16 fieldId{0};
};

constexpr bool fitsEntry(const FormatEntryLayout &entry)
{
    return entry.offset.end() <= entry.size && entry.subType.end() <= entry.offset.offset &&
           contiguous(entry.dtype, entry.scale) && contiguous(entry.length, entry.subType);
}
static_assert(fitsEntry(formatEntry12) && fitsEntry(formatEntryPadded16) && fitsEntry(formatEntryInterBase13));

} // namespace disk

// A field of the structures above, from bytes already checked to hold it.
template <typename T>
inline T readField(const uint8_t *bytes, disk::Field<T> field)
{
    using Unsigned = std::make_unsigned_t<T>;
    Unsigned value = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes + field.offset, sizeof value);
    } else {
        for (size_t i = 0; i < sizeof(T); ++i)
            value = Unsigned(value | Unsigned(Unsigned(bytes[field.offset + i]) << (8 * i)));
    }
    return T(value);
}

} // namespace ods

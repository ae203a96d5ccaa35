#pragma once

// Records on data pages: a slot's header, the fragments of a record longer
// than a page, and the chain of versions behind a record down to the newest
// one whose transaction committed.

#include "ods_version.h"
#include "page_file.h"
#include "record_codec.h"
#include "transaction_inventory.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace ods {

enum RecordFlag : uint16_t {
    Deleted = 1,
    OldVersion = 2,
    Fragment = 4,
    Incomplete = 8,
    BlobHeader = 16,
    DeltaBelow = 32,     // the back version is stored as differences from this one
    LongTransaction = 1024,   // Firebird from ODS 12
    NotPacked = 2048,         // Firebird from ODS 12
    // InterBase sets 0x200, 0x1000 and (from ODS 16) 0x2000 as well; none
    // changes the header or the packing, so they are not read.
};

// The numbers of the page layout that follow from the page size and version.
struct StorageLayout {
    unsigned pageSize = 0;
    int odsMinor = 0;
    const OdsVersion *version = nullptr;

    unsigned recordsPerPage() const
    {
        // The page header with one line index entry, then a line each.
        const unsigned fixed = unsigned(disk::DataPage::lines + disk::DataPage::lineSize);
        return (pageSize - fixed) / version->recordSlotBytes;
    }
    unsigned dataPagesPerPointerPage() const
    {
        const unsigned pages = (pageSize - unsigned(disk::PointerPage::pages)) * 8 / version->pointerSlotBits;
        return version->pointerSlotsInEights ? pages & ~7u : pages;
    }
    bool hasLongTransactions() const { return version->longTransactions; }
    bool hasLongRuns() const { return version->longRunsFromMinor >= 0 && odsMinor >= version->longRunsFromMinor; }
};

struct RecordSlot {
    Page page;                 // keeps the bytes below alive
    uint32_t pageNumber = 0;
    uint16_t line = 0;
    uint16_t flags = 0;
    uint64_t transaction = 0;
    uint32_t backPage = 0;
    uint16_t backLine = 0;
    uint8_t format = 0;
    uint32_t fragmentPage = 0;
    uint16_t fragmentLine = 0;
    const uint8_t *data = nullptr;   // after the record header
    size_t length = 0;
    const uint8_t *raw = nullptr;    // the whole line, header included
    size_t rawLength = 0;
};

// The newest committed version of a record, ready to decode.
struct RecordImage {
    int format = 0;
    std::vector<uint8_t> data;
};

class RecordStore {
public:
    RecordStore(const PageFile &file, StorageLayout layout, const TransactionInventory &transactions);

    const PageFile &file() const { return m_file; }
    const StorageLayout &layout() const { return m_layout; }

    // The record at `line` of data page `page`; false for an empty line.
    bool slot(const Page &page, uint32_t pageNumber, uint16_t line, RecordSlot &out) const;

    // Resolves the primary record `primary` to its newest committed version.
    // False when there is none (never committed, or deleted). With `image`
    // null only the verdict is wanted, nothing is decoded. `formatLength`
    // gives the record length of a format number of the relation (0: not
    // known, keep the newer version's length).
    bool newestCommitted(const RecordSlot &primary, RecordImage *image,
                         const std::function<size_t(int)> &formatLength) const;

    // The data of one stored version, fragments joined and expanded.
    void expand(const RecordSlot &head, std::vector<uint8_t> &out, size_t limit) const;

private:
    RecordSlot follow(uint32_t pageNumber, uint16_t line) const;

    const PageFile &m_file;
    StorageLayout m_layout;
    const TransactionInventory &m_transactions;
};

} // namespace ods

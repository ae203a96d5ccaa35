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
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace ods {

// The numbers of the page layout that follow from the page size and version.
struct StorageLayout {
    unsigned pageSize = 0;
    int odsMinor = 0;
    const OdsVersion *version = nullptr;

    unsigned recordsPerPage() const
    {
        // The page header with one line index entry, then a line each.
        const unsigned fixed = unsigned(disk::DataPage::lines.entry(1));
        return (pageSize - fixed) / version->recordSlotBytes;
    }
    unsigned dataPagesPerPointerPage() const
    {
        const unsigned pages = (pageSize - unsigned(disk::PointerPage::pages.offset)) * 8 / version->pointerSlotBits;
        return version->pointerSlotsInEights ? pages & ~7u : pages;
    }
    bool hasLongTransactions() const { return version->longTransactions; }
    bool hasLongRuns() const { return version->longRunsFromMinor >= 0 && odsMinor >= version->longRunsFromMinor; }
};

struct RecordSlot {
    PageView page;             // keeps the bytes below alive
    uint16_t line = 0;
    uint16_t flags = 0;        // RecordFlag
    uint64_t transaction = 0;
    uint32_t backPage = 0;
    uint16_t backLine = 0;
    uint8_t format = 0;
    uint32_t fragmentPage = 0;
    uint16_t fragmentLine = 0;
    PageSpan raw;              // the whole line, header included
    PageSpan data;             // after the record header
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
    bool slot(const PageView &page, uint16_t line, RecordSlot &out) const;

    // Resolves the primary record `primary` to its newest committed version.
    // False when there is none (never committed, or deleted). With `image`
    // null only the verdict is wanted, nothing is decoded. `formatLength`
    // gives the record length of a format number of the relation (0: not
    // known, keep the newer version's length).
    bool newestCommitted(const RecordSlot &primary, RecordImage *image,
                         const std::function<size_t(int)> &formatLength) const;

    // The data of one stored version, fragments joined and expanded.
    void expand(const RecordSlot &head, std::vector<uint8_t> &out, size_t limit) const;

    // For relations whose pointer pages are damaged: the data pages of
    // `relation` by sequence, as each data page names its relation and its
    // place. The whole file is looked at once, on the first call, for every
    // relation (and every index leaf, for indexedRecords).
    const std::map<uint32_t, uint32_t> &searchedDataPages(int relation) const;

    // For a relation whose data pages `sequences` are lost whole: the
    // records they held, as the record numbers in the leaves of its fullest
    // index say (a partial index holds only some). Empty when no index of
    // it reads whole from one end of its leaf level to the other.
    std::optional<long long> indexedRecords(int relation, const std::set<uint32_t> &sequences) const;

private:
    RecordSlot follow(uint32_t pageNumber, uint16_t line) const;
    // Each record number along the leaf level of index `id`, from its first
    // page by the siblings; false where a page is missing, damaged or not
    // the neighbour its sibling names.
    bool walkLeaves(int relation, int id, const std::set<uint32_t> &leaves,
                    const std::function<void(uint64_t)> &record) const;

    const PageFile &m_file;
    StorageLayout m_layout;
    const TransactionInventory &m_transactions;
    mutable std::once_flag m_searched;
    mutable std::map<int, std::map<uint32_t, uint32_t>> m_dataPages;
    mutable std::map<int, std::map<int, std::set<uint32_t>>> m_leafPages;   // by relation, by index id
};

} // namespace ods

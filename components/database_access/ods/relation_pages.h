#pragma once

// Where a relation's records lie: its pointer pages (in sequence), the data
// pages they list, and the primary record of each line, in storage order.

#include "file_contents.h"
#include "record_store.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace ods {

// Pages by their sequence number (pointer pages of a relation, transaction
// inventory pages) as a list indexed by sequence, 0 where one is missing.
// Sequences far beyond the number of pages given are damage and left out, so
// that a damaged number cannot size the list.
using SequencedPages = std::vector<std::pair<uint32_t, uint32_t>>;   // (sequence, page)
std::vector<uint32_t> bySequence(const SequencedPages &pages);

// Where a relation's BLOB ids point when its BLOBs live apart from its rows
// (InterBase from ODS 15): pointer pages of type 11 listing type 12 pages.
struct BlobPages {
    std::vector<uint32_t> pointerPages;   // by sequence
    unsigned recordsPerPage = 0;          // 0: as many as fit (the layout's)
};

class RelationPages {
public:
    // mayBeUnlisted: the file's list of pointer pages is damaged, so an
    // empty `pointerPages` may have lost every entry.
    RelationPages(const RecordStore &store, int relationId, std::vector<uint32_t> pointerPages,
                  const BlobPages *blobs = nullptr, bool mayBeUnlisted = false);

    // RDB$PAGES lists everyone's pointer pages but its own: they are chained
    // from the one the header names.
    static std::vector<uint32_t> chainFrom(const PageFile &file, uint32_t first);
    // For a file whose RDB$PAGES is damaged: every relation's pointer pages,
    // by sequence, found by looking at every page of the file.
    static std::map<int, std::vector<uint32_t>> searchPointerPages(const PageFile &file);

    int relationId() const { return m_relationId; }
    const RecordStore &store() const { return m_store; }

    // Walks the primary records (neither back versions, fragments nor BLOBs).
    class Cursor {
    public:
        // skipDamage: pass over what does not parse instead of failing, and
        // note it in losses(): a damaged data page costs its own records, a
        // damaged pointer page none (the relation's data pages are then found
        // by looking at every page of the file).
        explicit Cursor(const RelationPages &pages, bool skipDamage = false)
            : m_pages(pages), m_skipDamage(skipDamage) {}
        bool next(RecordSlot &slot);

        // A record given by next() that could not be read after all: its
        // line, an older version or a continuation on `page` is damaged.
        void recordLost(uint32_t page);
        const ReadLosses &losses() const { return m_losses; }

    private:
        bool nextDataPage();
        // The next data page the pointer pages list, with the sequence it
        // must carry; false at their end, or once one is damaged (then the
        // rest is searched for).
        bool nextListedPage(uint32_t &number, uint32_t &sequence);
        void openPointerPage();
        void openDataPage(uint32_t number, uint32_t sequence);
        void searchFrom(uint64_t sequence, uint32_t damagedPointerPage);

        const RelationPages &m_pages;
        bool m_skipDamage = false;
        size_t m_pointerIndex = 0;
        PageView m_pointer;
        size_t m_slotIndex = 0;
        bool m_lastSeen = false;
        PageView m_data;
        unsigned m_line = 0;
        unsigned m_lines = 0;
        const std::map<uint32_t, uint32_t> *m_searched = nullptr;   // data pages by sequence
        std::map<uint32_t, uint32_t>::const_iterator m_searchedAt;
        std::set<uint32_t> m_lostSequences;   // of the data pages in m_losses.lostPages
        bool m_ended = false;
        ReadLosses m_losses;
    };

    // The BLOB header stored under a record number, as BLOB ids carry it.
    RecordSlot locateBlob(uint64_t recordNumber) const;

private:
    const RecordStore &m_store;
    int m_relationId;
    std::vector<uint32_t> m_pointerPages;
    const BlobPages *m_blobs;
    bool m_listed;   // has pointer pages, listed or not
};

} // namespace ods

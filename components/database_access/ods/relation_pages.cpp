#include "relation_pages.h"

#include <algorithm>
#include <climits>
#include <set>
#include <tuple>

namespace ods {

namespace {

size_t slotCount(const PageView &pointer)
{
    const size_t count = pointer[disk::PointerPage::count];
    if (!pointer.span().has(disk::PointerPage::pages.offset, count * disk::PageNumberEntry::size))
        damagedPage(pointer.number(), QStringLiteral("a pointer page lists more data pages than it can hold"));
    return count;
}

uint32_t listedPage(const PageView &pointer, size_t slot)
{
    return pointer[disk::PageNumberEntry::page.within(disk::PointerPage::pages.entry(slot))];
}

void checkRelation(const PageView &page, disk::Field16 relation, int relationId)
{
    if (page[relation] != relationId)
        damagedPage(page.number(), QStringLiteral("page %1 belongs to table %2, not to table %3")
                                       .arg(page.number())
                                       .arg(page[relation])
                                       .arg(relationId));
}

} // namespace

RelationPages::RelationPages(const RecordStore &store, int relationId, std::vector<uint32_t> pointerPages,
                             const BlobPages *blobs, bool mayBeUnlisted)
    : m_store(store), m_relationId(relationId), m_pointerPages(std::move(pointerPages)), m_blobs(blobs),
      m_listed(mayBeUnlisted || !m_pointerPages.empty())
{
}

std::vector<uint32_t> RelationPages::chainFrom(const PageFile &file, uint32_t first)
{
    std::vector<uint32_t> chain;
    std::set<uint32_t> seen;
    for (uint32_t number = first; number != 0;) {
        if (!seen.insert(number).second)
            damaged(QStringLiteral("the pointer pages of RDB$PAGES form a loop"));
        chain.push_back(number);
        const PageView page = file.page(number, PointerPage);
        if (page.flags() & disk::PointerPage::lastFlag)
            break;
        number = page[disk::PointerPage::next];
    }
    return chain;
}

std::vector<uint32_t> bySequence(const SequencedPages &pages)
{
    const size_t plausible = 2 * pages.size() + 16;
    std::vector<uint32_t> list;
    for (const auto &[sequence, page] : pages) {
        if (sequence >= plausible)
            continue;
        if (list.size() <= sequence)
            list.resize(size_t(sequence) + 1, 0);
        list[sequence] = page;
    }
    return list;
}

std::map<int, std::vector<uint32_t>> RelationPages::searchPointerPages(const PageFile &file)
{
    std::map<int, SequencedPages> found;
    for (uint64_t number = 1; number < file.pageCount(); ++number) {
        PageView page;
        try {
            page = file.page(uint32_t(number), PointerPage);
        } catch (const components::ComponentError &) {
            continue;
        }
        found[page[disk::PointerPage::relation]].emplace_back(page[disk::PointerPage::sequence], uint32_t(number));
    }
    std::map<int, std::vector<uint32_t>> lists;
    for (const auto &[relation, pages] : found)
        lists[relation] = bySequence(pages);
    return lists;
}

void RelationPages::Cursor::openPointerPage()
{
    const uint32_t number = m_pages.m_pointerPages[m_pointerIndex];
    // A place RDB$PAGES leaves empty before the last pointer page is one
    // whose record is lost.
    if (number == 0)
        damaged(QStringLiteral("pointer page %1 of table %2 is not listed").arg(m_pointerIndex).arg(m_pages.m_relationId));
    PageView pointer = m_pages.m_store.file().page(number, PointerPage);
    checkRelation(pointer, disk::PointerPage::relation, m_pages.m_relationId);
    slotCount(pointer);
    if (pointer[disk::PointerPage::sequence] != m_pointerIndex)
        damagedPage(number, QStringLiteral("pointer page %1 is number %2 of its table, not number %3")
                                .arg(number)
                                .arg(pointer[disk::PointerPage::sequence])
                                .arg(m_pointerIndex));
    m_pointer = std::move(pointer);
    m_slotIndex = 0;
}

bool RelationPages::Cursor::nextListedPage(uint32_t &number, uint32_t &sequence)
{
    const uint64_t perPointerPage = m_pages.m_store.layout().dataPagesPerPointerPage();
    for (;;) {
        if (!m_pointer) {
            if (m_pointerIndex >= m_pages.m_pointerPages.size()) {
                // The last pointer page says it is the last: a list that ends
                // before it lost the records of the rest.
                if (m_skipDamage && !m_lastSeen && m_pages.m_listed) {
                    m_losses.unlistedPointerPages = true;
                    searchFrom(m_pointerIndex * perPointerPage, 0);
                }
                return false;
            }
            if (m_pages.m_pointerPages[m_pointerIndex] == 0 && !m_skipDamage) {
                ++m_pointerIndex;
                continue;
            }
            try {
                openPointerPage();
            } catch (const FileDamage &) {
                if (!m_skipDamage)
                    throw;
                searchFrom(m_pointerIndex * perPointerPage, m_pages.m_pointerPages[m_pointerIndex]);
                return false;
            }
        }
        const size_t used = m_pointer[disk::PointerPage::count];
        while (m_slotIndex < used) {
            const size_t slot = m_slotIndex++;
            number = listedPage(m_pointer, slot);
            sequence = uint32_t(m_pointerIndex * perPointerPage + slot);
            if (number != 0)
                return true;
        }
        m_lastSeen = m_pointer.flags() & disk::PointerPage::lastFlag;
        m_pointer.reset();
        ++m_pointerIndex;
    }
}

void RelationPages::Cursor::searchFrom(uint64_t sequence, uint32_t damagedPointerPage)
{
    if (damagedPointerPage != 0)
        m_losses.searchedPointerPages.insert(damagedPointerPage);
    m_pointer.reset();
    m_pointerIndex = m_pages.m_pointerPages.size();
    m_searched = &m_pages.m_store.searchedDataPages(m_pages.m_relationId);
    m_searchedAt = m_searched->lower_bound(uint32_t(std::min<uint64_t>(sequence, UINT32_MAX)));
}

void RelationPages::Cursor::openDataPage(uint32_t number, uint32_t sequence)
{
    PageView data = m_pages.m_store.file().page(number, DataPage);
    checkRelation(data, disk::DataPage::relation, m_pages.m_relationId);
    // A pointer page entry that points elsewhere than its place would give
    // another page's records twice.
    if (data[disk::DataPage::sequence] != sequence)
        damagedPage(number, QStringLiteral("data page %1 is number %2 of its table, not number %3")
                                .arg(number)
                                .arg(data[disk::DataPage::sequence])
                                .arg(sequence));
    m_data = std::move(data);
    m_line = 0;
    m_lines = m_data[disk::DataPage::count];
}

bool RelationPages::Cursor::nextDataPage()
{
    for (;;) {
        uint32_t number = 0;
        uint32_t sequence = 0;
        if (m_searched) {
            if (m_searchedAt == m_searched->end())
                return false;
            std::tie(sequence, number) = *m_searchedAt++;
        } else if (!nextListedPage(number, sequence)) {
            if (m_searched)
                continue;
            return false;
        }
        try {
            openDataPage(number, sequence);
            return true;
        } catch (const FileDamage &) {
            if (!m_skipDamage)
                throw;
        }
        // The pointer page's entry may be what is damaged: the page that
        // names itself for that place is read instead.
        if (!m_searched && m_pointer) {
            const std::map<uint32_t, uint32_t> &searched = m_pages.m_store.searchedDataPages(m_pages.m_relationId);
            const auto found = searched.find(sequence);
            if (found != searched.end() && found->second != number) {
                try {
                    openDataPage(found->second, sequence);
                    m_losses.searchedPointerPages.insert(m_pointer.number());
                    return true;
                } catch (const FileDamage &) {
                }
            }
        }
        m_losses.lostPages.insert(number);
        m_lostSequences.insert(sequence);
    }
}

void RelationPages::Cursor::recordLost(uint32_t page)
{
    ++m_losses.records;
    m_losses.recordPages.insert(page);
}

bool RelationPages::Cursor::next(RecordSlot &slot)
{
    const RecordStore &store = m_pages.m_store;
    for (;;) {
        while (m_data && m_line < m_lines) {
            const uint16_t line = uint16_t(m_line++);
            try {
                if (store.slot(m_data, line, slot) && !(slot.flags & (OldVersion | Fragment | BlobHeader)))
                    return true;
            } catch (const FileDamage &) {
                if (!m_skipDamage)
                    throw;
                recordLost(m_data.number());
            }
        }
        m_data.reset();
        if (m_ended)
            return false;
        if (!nextDataPage()) {
            m_ended = true;
            if (!m_lostSequences.empty())
                m_losses.lostPageRecords = store.indexedRecords(m_pages.m_relationId, m_lostSequences);
            return false;
        }
    }
}

RecordSlot RelationPages::locateBlob(uint64_t recordNumber) const
{
    const StorageLayout &layout = m_store.layout();
    const bool apart = layout.version->blobsApart;
    if (apart && !m_blobs)
        damaged(QStringLiteral("table %1 has BLOBs but no pages to hold them").arg(m_relationId));
    const std::vector<uint32_t> &pointerPages = apart ? m_blobs->pointerPages : m_pointerPages;
    const uint64_t perPage = apart && m_blobs->recordsPerPage ? m_blobs->recordsPerPage : layout.recordsPerPage();
    const uint64_t sequence = recordNumber / perPage;
    const auto line = uint16_t(recordNumber % perPage);
    const uint64_t pointerSequence = sequence / layout.dataPagesPerPointerPage();
    const size_t slotIndex = size_t(sequence % layout.dataPagesPerPointerPage());
    const auto missing = [&] {
        damaged(QStringLiteral("a BLOB of table %1 points to record %2, which does not exist")
                    .arg(m_relationId)
                    .arg(recordNumber));
    };
    const PageType dataType = apart ? BlobDataPage : DataPage;
    PageView data;
    try {
        if (pointerSequence >= pointerPages.size() || pointerPages[pointerSequence] == 0)
            missing();
        const PageView pointer =
            m_store.file().page(pointerPages[pointerSequence], apart ? BlobPointerPage : PointerPage);
        if (slotIndex >= slotCount(pointer))
            missing();
        const uint32_t number = listedPage(pointer, slotIndex);
        if (number == 0)
            missing();
        data = m_store.file().page(number, dataType);
        if (!apart) {
            checkRelation(data, disk::DataPage::relation, m_relationId);
            if (data[disk::DataPage::sequence] != sequence)
                missing();
        }
    } catch (const FileDamage &) {
        // The rows of a relation whose pointer pages are damaged were found
        // by their data pages; so are its BLOBs.
        if (apart)
            throw;
        const std::map<uint32_t, uint32_t> &searched = m_store.searchedDataPages(m_relationId);
        const auto found = searched.find(uint32_t(sequence));
        if (found == searched.end())
            throw;
        data = m_store.file().page(found->second, dataType);
    }
    RecordSlot slot;
    if (!m_store.slot(data, line, slot))
        missing();
    return slot;
}

} // namespace ods

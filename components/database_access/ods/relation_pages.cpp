#include "relation_pages.h"

#include <set>

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
                             const BlobPages *blobs)
    : m_store(store), m_relationId(relationId), m_pointerPages(std::move(pointerPages)), m_blobs(blobs)
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

bool RelationPages::Cursor::nextDataPage()
{
    const RecordStore &store = m_pages.m_store;
    for (;;) {
        if (!m_pointer) {
            if (m_pointerIndex >= m_pages.m_pointerPages.size())
                return false;
            const uint32_t number = m_pages.m_pointerPages[m_pointerIndex];
            if (number == 0) {
                ++m_pointerIndex;
                continue;
            }
            m_slotIndex = 0;
            m_pointer = store.file().page(number, PointerPage);
            checkRelation(m_pointer, disk::PointerPage::relation, m_pages.m_relationId);
        }
        const size_t used = slotCount(m_pointer);
        while (m_slotIndex < used) {
            const uint32_t number = listedPage(m_pointer, m_slotIndex++);
            if (number == 0)
                continue;
            m_data = store.file().page(number, DataPage);
            checkRelation(m_data, disk::DataPage::relation, m_pages.m_relationId);
            m_line = 0;
            m_lines = m_data[disk::DataPage::count];
            return true;
        }
        m_pointer.reset();
        ++m_pointerIndex;
    }
}

bool RelationPages::Cursor::nextDataPageSkippingDamage()
{
    for (;;) {
        try {
            return nextDataPage();
        } catch (const components::ComponentError &) {
            if (!m_skipDamage)
                throw;
            // A damaged data page loses only itself (its slot is passed
            // already); a damaged pointer page loses its data pages.
            m_data.reset();
            if (!m_pointer || m_slotIndex == 0) {
                m_pointer.reset();
                ++m_pointerIndex;
            }
        }
    }
}

bool RelationPages::Cursor::next(RecordSlot &slot)
{
    const RecordStore &store = m_pages.m_store;
    for (;;) {
        while (m_data && m_line < m_lines) {
            const uint16_t line = uint16_t(m_line++);
            try {
                if (store.slot(m_data, line, slot) &&
                    !(slot.flags & (OldVersion | Fragment | BlobHeader)))
                    return true;
            } catch (const components::ComponentError &) {
                if (!m_skipDamage)
                    throw;
            }
        }
        m_data.reset();
        if (!nextDataPageSkippingDamage())
            return false;
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
    if (pointerSequence >= pointerPages.size() || pointerPages[pointerSequence] == 0)
        missing();
    const PageView pointer =
        m_store.file().page(pointerPages[pointerSequence], apart ? BlobPointerPage : PointerPage);
    if (slotIndex >= slotCount(pointer))
        missing();
    const uint32_t number = listedPage(pointer, slotIndex);
    if (number == 0)
        missing();
    RecordSlot slot;
    if (!m_store.slot(m_store.file().page(number, apart ? BlobDataPage : DataPage), line, slot))
        missing();
    return slot;
}

} // namespace ods

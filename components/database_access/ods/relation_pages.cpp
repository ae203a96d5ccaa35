#include "relation_pages.h"

#include <set>

namespace ods {

namespace {

constexpr size_t pointerSlots = 32;

size_t slotCount(const std::vector<uint8_t> &pointer)
{
    const size_t count = get16(pointer.data() + 24);
    if (pointerSlots + count * 4 > pointer.size())
        damaged(QStringLiteral("a pointer page lists more data pages than it can hold"));
    return count;
}

void checkRelation(const std::vector<uint8_t> &page, size_t offset, int relationId, uint32_t number)
{
    if (get16(page.data() + offset) != relationId)
        damaged(QStringLiteral("page %1 belongs to table %2, not to table %3")
                    .arg(number)
                    .arg(get16(page.data() + offset))
                    .arg(relationId));
}

} // namespace

RelationPages::RelationPages(const RecordStore &store, int relationId, std::vector<uint32_t> pointerPages)
    : m_store(store), m_relationId(relationId), m_pointerPages(std::move(pointerPages))
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
        const Page page = file.page(number, PointerPage);
        if ((*page)[1] & 1)  // the last pointer page of its relation
            break;
        number = get32(page->data() + 20);
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
        Page page;
        try {
            page = file.page(uint32_t(number), PointerPage);
        } catch (const components::ComponentError &) {
            continue;
        }
        found[get16(page->data() + 26)].emplace_back(get32(page->data() + 16), uint32_t(number));
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
            checkRelation(*m_pointer, 26, m_pages.m_relationId, number);
        }
        const size_t used = slotCount(*m_pointer);
        while (m_slotIndex < used) {
            const uint32_t number = get32(m_pointer->data() + pointerSlots + 4 * m_slotIndex++);
            if (number == 0)
                continue;
            m_data = store.file().page(number, DataPage);
            checkRelation(*m_data, 20, m_pages.m_relationId, number);
            m_dataNumber = number;
            m_line = 0;
            m_lines = get16(m_data->data() + 22);
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
                if (store.slot(m_data, m_dataNumber, line, slot) &&
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

RecordSlot RelationPages::locate(uint64_t recordNumber) const
{
    const StorageLayout &layout = m_store.layout();
    const uint64_t sequence = recordNumber / layout.recordsPerPage();
    const uint16_t line = uint16_t(recordNumber % layout.recordsPerPage());
    const uint64_t pointerSequence = sequence / layout.dataPagesPerPointerPage();
    const size_t slotIndex = size_t(sequence % layout.dataPagesPerPointerPage());
    const auto missing = [&] {
        damaged(QStringLiteral("a BLOB of table %1 points to record %2, which does not exist")
                    .arg(m_relationId)
                    .arg(recordNumber));
    };
    if (pointerSequence >= m_pointerPages.size() || m_pointerPages[pointerSequence] == 0)
        missing();
    const Page pointer = m_store.file().page(m_pointerPages[pointerSequence], PointerPage);
    if (slotIndex >= slotCount(*pointer))
        missing();
    const uint32_t number = get32(pointer->data() + pointerSlots + 4 * slotIndex);
    if (number == 0)
        missing();
    RecordSlot slot;
    if (!m_store.slot(m_store.file().page(number, DataPage), number, line, slot))
        missing();
    return slot;
}

} // namespace ods

#include "transaction_inventory.h"

namespace ods {

namespace {
using Tip = disk::TransactionInventoryPage;
} // namespace

TransactionInventory::TransactionInventory(const PageFile *file, std::vector<uint32_t> pages,
                                           uint64_t oldestInteresting, uint64_t nextTransaction)
    : m_file(file), m_pages(std::move(pages)), m_oldestInteresting(oldestInteresting), m_next(nextTransaction),
      m_perPage(uint64_t(file->pageSize() - Tip::states) * Tip::statesPerByte)
{
}

TransactionInventory &TransactionInventory::operator=(TransactionInventory &&other) noexcept
{
    m_file = other.m_file;
    m_pages = std::move(other.m_pages);
    m_oldestInteresting = other.m_oldestInteresting;
    m_next = other.m_next;
    m_perPage = other.m_perPage;
    m_cachedSequence = -1;
    m_cachedPage.reset();
    return *this;
}

bool TransactionInventory::committed(uint64_t transaction) const
{
    if (transaction == 0 || transaction < m_oldestInteresting)
        return true;
    // The header's "next" transaction is the last one started, not the one
    // after it: that one may well have committed.
    if (transaction > m_next)
        return false;
    const uint64_t sequence = transaction / m_perPage;
    // Every transaction up to the header's last has its two bits: a page
    // of them that is not listed is lost, not a transaction that failed.
    if (sequence >= m_pages.size() || m_pages[sequence] == 0)
        damaged(QStringLiteral("the inventory page that records whether transaction %1 committed is missing")
                    .arg(transaction));
    PageView page;
    {
        const std::lock_guard<std::mutex> lock(m_cacheLock);
        if (int64_t(sequence) != m_cachedSequence) {
            m_cachedPage = m_file->page(m_pages[sequence], TransactionPage);
            m_cachedSequence = int64_t(sequence);
        }
        page = m_cachedPage;
    }
    const uint64_t index = transaction % m_perPage;
    const uint8_t byte = page.byte(Tip::states + index / Tip::statesPerByte);
    return ((byte >> ((index % Tip::statesPerByte) * 2)) & 3) == Tip::committed;
}

} // namespace ods

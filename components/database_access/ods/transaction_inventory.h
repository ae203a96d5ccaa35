#pragma once

// Which transactions committed, as the transaction inventory pages record it:
// two bits a transaction (active, limbo, dead, committed). Everything older
// than the oldest interesting transaction committed; a transaction the
// inventory does not cover never did.

#include "page_file.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace ods {

class TransactionInventory {
public:
    TransactionInventory() = default;
    TransactionInventory(const PageFile *file, std::vector<uint32_t> pages, uint64_t oldestInteresting,
                         uint64_t nextTransaction);
    TransactionInventory &operator=(TransactionInventory &&other) noexcept;

    bool committed(uint64_t transaction) const;

private:
    const PageFile *m_file = nullptr;
    std::vector<uint32_t> m_pages;  // by sequence
    uint64_t m_oldestInteresting = 0;
    uint64_t m_next = 0;
    uint64_t m_perPage = 1;
    // The state bytes of the inventory page read last: records of one data
    // page mostly come from a handful of transactions.
    mutable std::mutex m_cacheLock;
    mutable int64_t m_cachedSequence = -1;
    mutable PageView m_cachedPage;
};

} // namespace ods

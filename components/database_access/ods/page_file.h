#pragma once

// The database file opened for reading only, read a page at a time. The file
// is never locked, never written and never mapped (a file that shrinks under
// a mapping would kill the process); a small cache keeps the pages a record
// chain or a blob revisits.

#include "page_view.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace ods {

class PageFile {
public:
    // Opens read-only; throws with a message for the user when it cannot.
    explicit PageFile(const QString &path);
    ~PageFile();
    PageFile(const PageFile &) = delete;
    PageFile &operator=(const PageFile &) = delete;

    // The first bytes of the file (the header page), whatever the page size.
    std::vector<uint8_t> readStart(size_t length) const;

    // pagesMayBeEncrypted: the ODS has the per-page encryption flag.
    void setLayout(unsigned pageSize, bool pagesMayBeEncrypted)
    {
        m_pageSize = pageSize;
        m_encryptionFlag = pagesMayBeEncrypted;
    }
    unsigned pageSize() const { return m_pageSize; }
    uint64_t pageCount() const { return m_fileSize / m_pageSize; }

    // Page `number`, checked to be of `type` (or `alternative`, when given):
    // PageDamage when it is not, or lies beyond the end of the file.
    PageView page(uint32_t number, PageType type, PageType alternative = PageType(0)) const;

private:
    Page load(uint32_t number) const;

    int m_fd = -1;
    uint64_t m_fileSize = 0;
    unsigned m_pageSize = 0;
    bool m_encryptionFlag = false;
    struct Slot {
        uint32_t number = 0;
        Page page;
    };
    // Rows of different tables may be read from different threads.
    mutable std::mutex m_cacheLock;
    mutable std::array<Slot, 64> m_cache;
};

} // namespace ods

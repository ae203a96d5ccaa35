#pragma once

// The database's files opened for reading only, read a page at a time. A
// file is never locked, never written and never mapped (a file that shrinks
// under a mapping would kill the process); a small cache keeps the pages a
// record chain or a blob revisits. A database made in several files reads
// as one row of pages: the primary file's, then each continuation's after
// its own header page.

#include "file_contents.h"
#include "page_view.h"

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ods {

class PageFile {
public:
    // Opens the primary file read-only; throws with a message for the user
    // when it cannot.
    explicit PageFile(const QString &path);
    ~PageFile();
    PageFile(const PageFile &) = delete;
    PageFile &operator=(const PageFile &) = delete;

    // The first bytes of the primary file (the header page), whatever the
    // page size.
    std::vector<uint8_t> readStart(size_t length) const;

    // pagesMayBeEncrypted: the ODS has the per-page encryption flag.
    void setLayout(unsigned pageSize, bool pagesMayBeEncrypted)
    {
        m_pageSize = pageSize;
        m_encryptionFlag = pagesMayBeEncrypted;
    }
    unsigned pageSize() const { return m_pageSize; }

    // The database goes on after page `previousLastPage` in the file its
    // maker called `storedName`: the first of `candidates` whose first page
    // `isIt` accepts is opened, and that page returned. Empty when none is:
    // the pages from there on are missing, and reading one says where the
    // file was looked for.
    std::vector<uint8_t> addContinuation(const QString &storedName, const QStringList &candidates,
                                         uint32_t previousLastPage,
                                         const std::function<bool(const PageSpan &firstPage)> &isIt);
    const std::vector<DatabaseFile> &files() const { return m_files; }
    // Empty when every file is at hand; else which is missing, where it was
    // looked for, and what to do.
    QString missingFile() const;
    // Whether a page of the missing file was asked for since opening.
    bool missingPageAsked() const { return m_missingPageAsked; }

    // One past the last page the files at hand hold.
    uint64_t pageCount() const;
    // Whether page `number` belongs in a file at hand that ends before it:
    // a file cut short, or a number past every file.
    bool beyondEnd(uint32_t number) const;

    // Page `number`, checked to be of `type` (or `alternative`, when given):
    // PageDamage when it is not, or lies beyond the end of its file; a
    // ComponentError that names the file when that file is missing.
    PageView page(uint32_t number, PageType type, PageType alternative = PageType(0)) const;

private:
    struct Opened {
        int fd = -1;             // -1: not found
        uint64_t size = 0;
        unsigned headerPages = 0;    // pages before the database's first page in it
        QStringList lookedAt;
    };
    size_t fileOf(uint32_t number) const;
    // Pages of file `index` that hold pages of the database.
    uint64_t pagesIn(size_t index) const;
    Page load(uint32_t number) const;

    std::vector<DatabaseFile> m_files;
    std::vector<Opened> m_opened;
    unsigned m_pageSize = 0;
    bool m_encryptionFlag = false;
    mutable std::atomic<bool> m_missingPageAsked = false;
    struct Slot {
        uint32_t number = 0;
        Page page;
    };
    // Rows of different tables may be read from different threads.
    mutable std::mutex m_cacheLock;
    mutable std::array<Slot, 64> m_cache;
};

} // namespace ods

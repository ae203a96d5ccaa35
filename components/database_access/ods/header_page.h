#pragma once

// The database header page (page 0): which Firebird or InterBase version made
// the file, its page size, and the transaction numbers that decide which
// record versions count as committed.

#include "file_contents.h"
#include "ods_version.h"
#include "page_view.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace ods {

struct Header {
    FileFacts facts;
    uint16_t odsWord = 0;   // the major version as stored, with Firebird's flag where it has one
    const OdsVersion *version = nullptr;   // never null once parsed
    int odsMinorOriginal = 0;   // the minor version the file was created with
    uint32_t pagesRelationPointer = 0; // first pointer page of RDB$PAGES
    uint64_t oldestInteresting = 0;
    uint64_t nextTransaction = 0;
    // Where this layout keeps the entries that name a next file; null where
    // that is not known.
    const disk::HeaderEntriesLayout *entries = nullptr;
};

// The next file of a database kept in several, as a header page names it.
struct Continuation {
    QByteArray storedName;      // as the machine that made the file wrote it
    uint32_t previousLastPage = 0;   // the last page of the file before it
};

// The next file named in the entries of `page`, a header page laid out as
// `entries` says; nullopt when it names none. PageDamage when the entries
// run past the page.
std::optional<Continuation> continuationOf(const PageSpan &page, const disk::HeaderEntriesLayout &entries);

// The most a header page can hold: enough of a file's start to read every
// entry its header page has.
inline constexpr size_t largestPage = 32768;

// Decodes the first bytes of a file (at least 1024); `path` only names it in
// messages. Throws a ComponentError that says what was found when the file is
// not a database this reader can read.
Header parseHeader(const std::vector<uint8_t> &start, const QString &path);

// Throws the ComponentError that refuses a file made by a release this
// reader cannot read, naming the release and what to do instead.
[[noreturn]] void refuseRelease(const QString &path, uint16_t odsWord, int minor);

} // namespace ods

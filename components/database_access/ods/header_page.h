#pragma once

// The database header page (page 0): which Firebird or InterBase version made
// the file, its page size, and the transaction numbers that decide which
// record versions count as committed.

#include "file_contents.h"
#include "ods_version.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace ods {

struct Header {
    FileFacts facts;
    const OdsVersion *version = nullptr;   // never null once parsed
    int odsMinorOriginal = 0;   // the minor version the file was created with
    uint32_t pagesRelationPointer = 0; // first pointer page of RDB$PAGES
    uint64_t oldestInteresting = 0;
    uint64_t nextTransaction = 0;
};

// Decodes the first bytes of a file (at least 1024); `path` only names it in
// messages. Throws a ComponentError that says what was found when the file is
// not a database this reader can read.
Header parseHeader(const std::vector<uint8_t> &start, const QString &path);

} // namespace ods

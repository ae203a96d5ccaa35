#include "header_page.h"

#include "page_file.h"
#include "product_names.h"

#include <algorithm>

namespace ods {

namespace {

QString notADatabase(const QString &path)
{
    return QStringLiteral("\"%1\" is not a Firebird or InterBase database file (its first page is not a database "
                          "header). Check that you chose the right file.")
        .arg(path);
}

bool validPageSize(unsigned size)
{
    return size == 1024 || size == 2048 || size == 4096 || size == 8192 || size == 16384 || size == 32768;
}

} // namespace

void refuseRelease(const QString &path, uint16_t odsWord, int minor)
{
    using disk::HeaderPageCommon;
    if ((odsWord & ~HeaderPageCommon::firebirdFlag) < 8)
        fail(QStringLiteral("\"%1\" was made by %2, which this program cannot read. Make a backup with that "
                            "version's gbak and restore it with Firebird.")
                 .arg(path, madeBy(odsWord, minor)));
    if (odsWord & HeaderPageCommon::firebirdFlag)
        fail(QStringLiteral("\"%1\" was made by %2, which this program cannot read. Make a backup with that "
                            "version's gbak and restore it with Firebird 5 or older.")
                 .arg(path, madeBy(odsWord, minor)));
    fail(QStringLiteral("\"%1\" was made by %2, which this program cannot read. Open it with that InterBase "
                        "version and make a backup with gbak, then restore the backup with Firebird.")
             .arg(path, madeBy(odsWord, minor)));
}

Header parseHeader(const std::vector<uint8_t> &start, const QString &path)
{
    using disk::HeaderPageCommon;
    if (start.size() < HeaderPageCommon::bytesRead || start[disk::PageHeader::type.offset] != HeaderPage)
        fail(notADatabase(path));
    const PageSpan page(start.data(), start.size(), 0, HeaderPage);
    Header header;
    FileFacts &facts = header.facts;
    facts.pageSize = page[HeaderPageCommon::pageSize];
    const uint16_t odsWord = page[HeaderPageCommon::odsWord];
    facts.odsMajor = odsWord & ~HeaderPageCommon::firebirdFlag;
    const bool firebirdFlag = (odsWord & HeaderPageCommon::firebirdFlag) != 0;
    // Firebird's flag came with ODS 11.
    if (!validPageSize(facts.pageSize) || (firebirdFlag && facts.odsMajor < 11))
        fail(notADatabase(path));
    const disk::HeaderPageLayout &layout = headerLayoutOf(odsWord);
    facts.odsMinor = page[layout.odsMinor];
    header.version = odsVersionOf(odsWord, facts.odsMinor);
    header.odsWord = odsWord;
    if (!header.version)
        refuseRelease(path, odsWord, facts.odsMinor);
    facts.firebird = header.version->family == Family::Firebird;
    header.odsMinorOriginal = layout.odsMinorOriginal.offset
                                  ? std::min<int>(page[layout.odsMinorOriginal], facts.odsMinor)
                                  : facts.odsMinor;
    const uint16_t flags = page[layout.flags];
    facts.dialect = (flags & layout.dialect3Flag) ? 3 : 1;
    if (flags & layout.encryptedFlag)
        fail(QStringLiteral("\"%1\" was made by %2 and is encrypted. Decrypt it with that Firebird version "
                            "(ALTER DATABASE DECRYPT) and open the decrypted file.")
                 .arg(path, madeBy(odsWord, facts.odsMinor)));
    if (facts.odsMinor > 15)
        fail(notADatabase(path));

    facts.created = page[layout.creationDay] | (uint64_t(page[layout.creationTime]) << 32);
    header.pagesRelationPointer = page[layout.pagesRelation];
    const auto transaction = [&](const disk::TransactionField &field) {
        uint64_t number = page[field.low];
        if (field.high16.offset)
            number |= uint64_t(page[field.high16]) << 32;
        if (field.high32.offset)
            number |= uint64_t(page[field.high32]) << 32;
        return number;
    };
    header.oldestInteresting = transaction(layout.oldestInteresting);
    header.nextTransaction = transaction(layout.nextTransaction);
    return header;
}

} // namespace ods

#include "header_page.h"

#include "ods_database.h"
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

const disk::HeaderEntriesLayout *entriesLayoutOf(uint16_t odsWord)
{
    const int major = odsWord & ~disk::HeaderPageCommon::firebirdFlag;
    if (odsWord & disk::HeaderPageCommon::firebirdFlag)
        return major == 12 ? &disk::entriesFirebird12 : major >= 13 ? &disk::entriesFirebird13 : &disk::entriesOds10;
    // InterBase kept InterBase 6's entries up to ODS 15.
    return major >= 16 ? &disk::entriesInterBase16 : &disk::entriesOds10;
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
    // A file that continues a database opens with a header page of its own,
    // which points to no catalogue; most engines leave its version unset.
    header.entries = entriesLayoutOf(odsWord);
    if (header.entries->sequence.offset && page[header.entries->sequence] != 0 &&
        (odsWord == 0 || page[layout.pagesRelation] == 0))
        fail(QStringLiteral("\"%1\" holds pages of a database kept in several files, but it is not the file the "
                            "database starts with. Open that file, with this one beside it.")
                 .arg(path));
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
    const size_t held = std::min<size_t>(start.size(), facts.pageSize);
    try {
        facts.continued = continuationOf(PageSpan(start.data(), held, 0, HeaderPage), *header.entries).has_value();
    } catch (const PageDamage &) {
        // Given less than the whole page, the entries may just go on.
        if (held == facts.pageSize)
            damaged(QStringLiteral("the entries of its header page run past the page's end"));
    }
    return header;
}

std::optional<Continuation> continuationOf(const PageSpan &page, const disk::HeaderEntriesLayout &entries)
{
    std::optional<QByteArray> name;
    std::optional<uint32_t> lastPage;
    for (size_t at = entries.start; page.byte(at) != 0;) {
        const uint8_t code = page.byte(at);
        const PageSpan value = page.part(at + 2, page.byte(at + 1));
        if (code == entries.file)
            name = QByteArray(reinterpret_cast<const char *>(value.data()), qsizetype(value.size()));
        else if (code == entries.lastPage)
            lastPage = value[disk::PageNumberEntry::page];
        at += 2 + value.size();
    }
    if (!name)
        return std::nullopt;
    if (!lastPage || name->isEmpty())
        damaged(QStringLiteral("its header page names a next file without saying where it starts"));
    return Continuation{*name, *lastPage};
}

void withoutNextFile(QByteArray &headerPage)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(headerPage.constData());
    if (size_t(headerPage.size()) < disk::HeaderPageCommon::bytesRead || bytes[0] != HeaderPage)
        fail(QStringLiteral("A copy of the database cannot be made in one file: its first page is not a header page."));
    const PageSpan page(bytes, size_t(headerPage.size()), 0, HeaderPage);
    const disk::HeaderEntriesLayout &entries = *entriesLayoutOf(page[disk::HeaderPageCommon::odsWord]);
    QByteArray kept;
    size_t at = entries.start;
    for (; page.byte(at) != 0; at += 2 + page.byte(at + 1)) {
        const PageSpan entry = page.part(at, 2 + page.byte(at + 1));
        if (entry.byte(0) != entries.file && entry.byte(0) != entries.lastPage)
            kept.append(reinterpret_cast<const char *>(entry.data()), qsizetype(entry.size()));
    }
    // Every byte the old entries took is cleared: the engine reads up to code 0.
    headerPage.replace(qsizetype(entries.start), kept.size(), kept);
    std::fill(headerPage.begin() + qsizetype(entries.start) + kept.size(), headerPage.begin() + qsizetype(at) + 1, 0);
    const auto end = uint16_t(entries.start + size_t(kept.size()));
    headerPage[qsizetype(entries.end.offset)] = char(end & 0xff);
    headerPage[qsizetype(entries.end.offset) + 1] = char(end >> 8);
}

} // namespace ods

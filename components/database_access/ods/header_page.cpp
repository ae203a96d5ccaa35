#include "header_page.h"

#include "ods_version.h"
#include "page_bytes.h"
#include "page_file.h"

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

Header parseHeader(const std::vector<uint8_t> &start, const QString &path)
{
    if (start.size() < 1024 || start[0] != HeaderPage)
        fail(notADatabase(path));
    const uint8_t *p = start.data();
    Header header;
    FileFacts &facts = header.facts;
    facts.pageSize = get16(p + 16);
    const OdsVersion version = odsVersionOf(start);
    facts.odsMajor = version.major();
    // Firebird's flag came with ODS 11; InterBase's files up to ODS 10 are
    // laid out as Firebird's.
    facts.firebird = version.firebirdFlag() || facts.odsMajor <= 10;
    if (!validPageSize(facts.pageSize) || (version.firebirdFlag() && facts.odsMajor < 11))
        fail(notADatabase(path));
    if (!facts.firebird)
        fail(QStringLiteral("\"%1\" was made by %2, which this program cannot read. Open it with that InterBase "
                            "version and make a backup with gbak, then restore the backup with Firebird.")
                 .arg(path, madeBy(version)));
    if (facts.odsMajor < 8)
        fail(QStringLiteral("\"%1\" was made by %2, which this program cannot read. Make a backup with that "
                            "version's gbak and restore it with Firebird.")
                 .arg(path, madeBy(version)));
    if (facts.odsMajor > 13)
        fail(QStringLiteral("\"%1\" was made by %2, which this program cannot read. Make a backup with that "
                            "version's gbak and restore it with Firebird 5 or older.")
                 .arg(path, madeBy(version)));

    const uint16_t flags = get16(p + 42);
    const bool modern = facts.odsMajor >= 12;
    if (modern) {
        facts.odsMinor = get16(p + 64);
        header.odsMinorOriginal = facts.odsMinor;
        facts.dialect = (flags & 0x10) ? 3 : 1;
        if (flags & 0x40)
            fail(QStringLiteral("\"%1\" was made by %2 and is encrypted. Decrypt it with that Firebird version "
                                "(ALTER DATABASE DECRYPT) and open the decrypted file.")
                     .arg(path, madeBy(version)));
    } else {
        facts.odsMinor = get16(p + 62);
        header.odsMinorOriginal = get16(p + 64);
        if (header.odsMinorOriginal > facts.odsMinor)
            header.odsMinorOriginal = facts.odsMinor;
        facts.dialect = (flags & 0x100) ? 3 : 1;
    }
    if (facts.odsMinor > 15)
        fail(notADatabase(path));

    header.pagesRelationPointer = get32(p + 20);
    header.oldestInteresting = get32(p + 28);
    header.nextTransaction = get32(p + 36);
    if (modern) {
        // Transaction numbers have 48 bits from ODS 12 on; the high words
        // moved when ODS 13 dropped a field before them.
        const size_t high = facts.odsMajor == 12 ? 124 : 120;
        header.nextTransaction |= uint64_t(get16(p + high)) << 32;
        header.oldestInteresting |= uint64_t(get16(p + high + 2)) << 32;
    }
    return header;
}

FileFacts probe(const QString &path)
{
    PageFile file(path);
    return parseHeader(file.readStart(1024), path).facts;
}

} // namespace ods

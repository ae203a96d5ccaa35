#include "ods_file.h"

#include "catalogue_reader.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <set>

namespace ods {

namespace {

// Where a database's next file may lie now, the likeliest first: beside the
// primary file under the name it was made with (in any case of letters, for
// a file made on Windows), then where it was made. A database moved, or
// copied, with its files, reads from its own folder even where the files
// it was copied from are still in place.
QStringList whereToLook(const QString &primary, const QString &storedName)
{
    const QString name = storedName.section(u'\\', -1).section(u'/', -1);
    const QDir folder = QFileInfo(primary).absoluteDir();
    QStringList candidates;
    if (!name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..")) {
        candidates << folder.filePath(name);
        if (!QFileInfo::exists(candidates.front()))
            for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden))
                if (entry.compare(name, Qt::CaseInsensitive) == 0)
                    candidates << folder.filePath(entry);
    }
    if (QDir::isAbsolutePath(storedName) && !candidates.contains(QDir::cleanPath(storedName)))
        candidates << QDir::cleanPath(storedName);
    return candidates;
}

// A name as its maker stored it: Windows wrote names in its ANSI code page,
// whose letters are mostly Latin-1's, where this system would expect UTF-8.
QString storedFileName(const QByteArray &stored)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString name = utf8.decode(stored);
    return utf8.hasError() ? QString::fromLatin1(stored) : name;
}

// The next file the header page `first` names, with the pages that continue
// its entries.
std::optional<Continuation> nextFileAfter(const PageFile &file, const PageSpan &first,
                                          const disk::HeaderEntriesLayout &entries)
{
    std::optional<Continuation> next = continuationOf(first, entries);
    if (!entries.nextHeaderPage.offset)
        return next;
    std::set<uint32_t> seen;
    for (uint32_t number = first[entries.nextHeaderPage]; number != 0 && seen.insert(number).second;) {
        const PageView page = file.page(number, HeaderPage);
        if (auto named = continuationOf(page.span(), entries))
            next = named;
        number = page[entries.nextHeaderPage];
    }
    return next;
}

// Opens the files the database goes on in, each named in the header page
// of the one before it.
void openContinuations(PageFile &file, const Header &header)
{
    std::vector<uint8_t> headerPage = file.readStart(file.pageSize());
    const unsigned pageSize = file.pageSize();
    const auto isContinuation = [pageSize](const PageSpan &first) {
        return first.byte(disk::PageHeader::type.offset) == HeaderPage &&
               first[disk::HeaderPageCommon::pageSize] == pageSize;
    };
    while (!headerPage.empty()) {
        const PageSpan page(headerPage.data(), headerPage.size(), file.files().back().firstPage, HeaderPage);
        const std::optional<Continuation> next = nextFileAfter(file, page, *header.entries);
        if (!next)
            return;
        const QString name = storedFileName(next->storedName);
        headerPage = file.addContinuation(name, whereToLook(file.files().front().path, name), next->previousLastPage,
                                          isContinuation);
    }
}

Header checkedHeader(PageFile &file, const QString &path)
{
    Header header = readHeader(file, path);
    file.setLayout(header.facts.pageSize, header.version->pagesMayBeEncrypted);
    if (file.pageCount() < 2)
        damaged(QStringLiteral("the file ends after its header page"));
    if (header.facts.continued)
        openContinuations(file, header);
    return header;
}

// Page 1 of every database is its first page inventory page.
bool looksLikeDatabasePages(const PageFile &file)
{
    const std::vector<uint8_t> start = file.readStart(2 * 32768 + 1);
    for (size_t pageSize = 1024; pageSize <= 32768; pageSize *= 2)
        if (start.size() > pageSize && start[pageSize] == InventoryPage)
            return true;
    return false;
}

StorageLayout layoutOf(const Header &header)
{
    return StorageLayout{header.facts.pageSize, header.facts.odsMinor, header.version};
}

// A catalogue with pages in a missing file is refused as such, not as
// damage; read as far as it goes, it would leave tables out unsaid.
Catalogue readCatalogue(const QString &path, const PageFile &file, const Header &header, const RecordStore &store,
                        TransactionInventory &transactions)
{
    const auto missing = [&] {
        return QStringLiteral("The database's list of its tables cannot be read: %1").arg(file.missingFile());
    };
    Catalogue catalogue;
    try {
        catalogue = CatalogueReader(path, file, header, store, transactions).read();
    } catch (const components::ComponentError &) {
        if (file.missingFile().isEmpty())
            throw;
        fail(missing());
    }
    if (file.missingPageAsked())
        fail(missing());
    return catalogue;
}

} // namespace

Header readHeader(const PageFile &file, const QString &path)
{
    const std::vector<uint8_t> start = file.readStart(largestPage);
    try {
        return parseHeader(start, path);
    } catch (const components::ComponentError &) {
        if (start.empty() || start[0] == HeaderPage || !looksLikeDatabasePages(file))
            throw;
        damaged(QStringLiteral("its header page is damaged, and without it nothing of the file can be read"));
    }
}

OdsFile::OdsFile(const QString &path)
    : m_file(path), m_header(checkedHeader(m_file, path)), m_store(m_file, layoutOf(m_header), m_transactions),
      m_catalogue(readCatalogue(path, m_file, m_header, m_store, m_transactions))
{
}

const StoredRelation &OdsFile::stored(const Relation &relation) const
{
    const auto found = m_catalogue.stored.find(relation.id);
    if (found == m_catalogue.stored.end())
        throw components::ComponentError(
            QStringLiteral("The table \"%1\" is not in the database's catalogue.").arg(relation.name));
    return found->second;
}

RelationPages pagesOf(const RecordStore &store, const StoredRelation &relation)
{
    if (!relation.tablespace.isEmpty())
        throw components::ComponentError(
            QStringLiteral("The table \"%1\" is kept in the InterBase tablespace \"%2\", a file of its own, which "
                           "this program does not read. Move the table into the database's primary file with "
                           "InterBase (ALTER TABLE ... SET TABLESPACE TO PRIMARY) and open the file again.")
                .arg(relation.relation.name, relation.tablespace));
    return RelationPages(store, relation.relation.id, relation.pointerPages, &relation.blobs,
                         relation.pointerPagesMayBeLost);
}

const RecordFormat &StoredRelation::format(int number) const
{
    const auto found = formats.find(number);
    // The engine's own tables are stored in a built-in format 0; only those
    // altered since have more formats in RDB$FORMATS.
    if (hasSystemFormat && found == formats.end())
        return systemFormat;
    if (found == formats.end() || !found->second.known)
        damaged(QStringLiteral("format %1 of table \"%2\" is missing or unreadable")
                    .arg(number)
                    .arg(relation.name));
    return found->second;
}

} // namespace ods

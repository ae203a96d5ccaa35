#include "ods_file.h"

#include "catalogue_reader.h"

namespace ods {

namespace {

Header checkedHeader(PageFile &file, const QString &path)
{
    Header header = readHeader(file, path);
    file.setLayout(header.facts.pageSize, header.version->pagesMayBeEncrypted);
    if (file.pageCount() < 2)
        damaged(QStringLiteral("the file ends after its header page"));
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

} // namespace

Header readHeader(const PageFile &file, const QString &path)
{
    const std::vector<uint8_t> start = file.readStart(disk::HeaderPageCommon::bytesRead);
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
      m_catalogue(CatalogueReader(path, m_file, m_header, m_store, m_transactions).read())
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

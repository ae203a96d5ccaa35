#include "ods_file.h"

#include "catalogue_reader.h"

namespace ods {

namespace {

Header readHeader(PageFile &file, const QString &path)
{
    Header header = parseHeader(file.readStart(1024), path);
    file.setLayout(header.facts.pageSize, header.version->pagesMayBeEncrypted);
    if (file.pageCount() < 2)
        damaged(QStringLiteral("the file ends after its header page"));
    return header;
}

StorageLayout layoutOf(const Header &header)
{
    return StorageLayout{header.facts.pageSize, header.facts.odsMinor, header.version};
}

} // namespace

OdsFile::OdsFile(const QString &path)
    : m_file(path), m_header(readHeader(m_file, path)), m_store(m_file, layoutOf(m_header), m_transactions)
{
    CatalogueReader(*this).read();
}

const StoredRelation &OdsFile::stored(const Relation &relation) const
{
    const auto found = m_stored.find(relation.id);
    if (found == m_stored.end())
        throw components::ComponentError(
            QStringLiteral("The table \"%1\" is not in the database's catalogue.").arg(relation.name));
    return found->second;
}

RelationPages OdsFile::pagesOf(const StoredRelation &relation) const
{
    if (!relation.tablespace.isEmpty())
        throw components::ComponentError(
            QStringLiteral("The table \"%1\" is kept in the InterBase tablespace \"%2\", a file of its own, which "
                           "this program does not read. Move the table into the database's primary file with "
                           "InterBase (ALTER TABLE ... SET TABLESPACE TO PRIMARY) and open the file again.")
                .arg(relation.relation.name, relation.tablespace));
    return RelationPages(m_store, relation.relation.id, relation.pointerPages, &relation.blobs);
}

const RecordFormat &OdsFile::format(const StoredRelation &relation, int number) const
{
    const auto found = relation.formats.find(number);
    // The engine's own tables are stored in a built-in format 0; only those
    // altered since have more formats in RDB$FORMATS.
    if (relation.hasSystemFormat && found == relation.formats.end())
        return relation.systemFormat;
    if (found == relation.formats.end() || !found->second.known)
        damaged(QStringLiteral("format %1 of table \"%2\" is missing or unreadable")
                    .arg(number)
                    .arg(relation.relation.name));
    return found->second;
}

} // namespace ods

#include "ods_database.h"

#include "blob_reader.h"
#include "character_sets.h"
#include "ods_file.h"
#include "record_format.h"
#include "relation_rows.h"

namespace ods {

namespace {

class FileDatabase : public Database {
public:
    explicit FileDatabase(const QString &path) : m_file(std::make_shared<const OdsFile>(path)) {}

    const FileFacts &facts() const override { return m_file->header().facts; }
    int dtypeOfFieldType(int fieldType) const override
    {
        return ods::dtypeOfFieldType(fieldType, *m_file->header().version);
    }
    int firebirdCharset(int storedCharset) const override
    {
        return m_file->header().version->interbaseTypes ? firebirdCharsetOfInterBase(storedCharset) : storedCharset;
    }
    const std::vector<Relation> &relations() const override { return m_file->relations(); }

    std::unique_ptr<Rows> rows(const Relation &relation) const override
    {
        return std::make_unique<RelationRows>(m_file, m_file->stored(relation));
    }

    long long count(const Relation &relation) const override
    {
        return countRows(m_file, m_file->stored(relation));
    }

    QByteArray blob(const Relation &relation, QByteArrayView blobId) const override
    {
        return readBlob(pagesOf(m_file->store(), m_file->stored(relation)), blobId);
    }

    const std::vector<DatabaseFile> &files() const override { return m_file->pages().files(); }
    bool beyondEnd(uint32_t page) const override { return m_file->pages().beyondEnd(page); }

private:
    std::shared_ptr<const OdsFile> m_file;
};

} // namespace

FileFacts probe(const QString &path)
{
    const PageFile file(path);
    return readHeader(file, path).facts;
}

std::unique_ptr<Database> Database::open(const QString &path)
{
    return std::make_unique<FileDatabase>(path);
}

} // namespace ods

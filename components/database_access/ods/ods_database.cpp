#include "ods_database.h"

#include "blob_reader.h"
#include "ods_file.h"
#include "relation_rows.h"

namespace ods {

namespace {

class FileDatabase : public Database {
public:
    explicit FileDatabase(const QString &path) : m_file(std::make_shared<const OdsFile>(path)) {}

    const FileFacts &facts() const override { return m_file->header().facts; }
    const std::vector<Relation> &relations() const override { return m_file->relations(); }

    std::unique_ptr<Rows> rows(const Relation &relation) const override
    {
        return std::make_unique<RelationRows>(m_file, m_file->stored(relation));
    }

    long long count(const Relation &relation) const override
    {
        return countRows(*m_file, m_file->stored(relation));
    }

    QByteArray blob(const Relation &relation, QByteArrayView blobId) const override
    {
        return readBlob(m_file->pagesOf(m_file->stored(relation)), blobId);
    }

private:
    std::shared_ptr<const OdsFile> m_file;
};

} // namespace

std::unique_ptr<Database> Database::open(const QString &path)
{
    return std::make_unique<FileDatabase>(path);
}

} // namespace ods

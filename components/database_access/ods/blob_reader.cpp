#include "blob_reader.h"

namespace ods {

namespace {

class Collector {
public:
    Collector(const PageFile &file, uint64_t ceiling) : m_file(file), m_ceiling(ceiling) {}

    void add(const uint8_t *data, size_t length)
    {
        if (m_bytes.size() + length > m_ceiling)
            damaged(QStringLiteral("a BLOB holds more data than its header says"));
        m_bytes.append(reinterpret_cast<const char *>(data), qsizetype(length));
    }

    void addPage(uint32_t number, bool pointers)
    {
        const Page page = m_file.page(number, BlobPage);
        const bool isPointerPage = ((*page)[disk::PageHeader::flags] & disk::BlobPage::pointerFlag) != 0;
        if (isPointerPage != pointers)
            damaged(QStringLiteral("blob page %1 is of the wrong kind").arg(number));
        const size_t length = get16(page->data() + disk::BlobPage::length);
        if (disk::BlobPage::data + length > page->size())
            damaged(QStringLiteral("blob page %1 claims more bytes than it holds").arg(number));
        if (!pointers) {
            add(page->data() + disk::BlobPage::data, length);
            return;
        }
        for (size_t at = 0; at + 4 <= length; at += 4)
            addPage(get32(page->data() + disk::BlobPage::data + at), false);
    }

    QByteArray take() { return std::move(m_bytes); }

private:
    const PageFile &m_file;
    uint64_t m_ceiling;
    QByteArray m_bytes;
};

// Segmented BLOBs store each segment behind its 2-byte length.
QByteArray joinSegments(const QByteArray &stored)
{
    QByteArray joined;
    joined.reserve(stored.size());
    const auto *bytes = reinterpret_cast<const uint8_t *>(stored.constData());
    const size_t size = size_t(stored.size());
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = get16(bytes + at);
        at += 2;
        if (length > size - at)
            damaged(QStringLiteral("a BLOB segment runs past the BLOB's end"));
        joined.append(reinterpret_cast<const char *>(bytes + at), qsizetype(length));
        at += length;
    }
    return joined;
}

} // namespace

QByteArray readBlob(const RelationPages &pages, QByteArrayView blobId)
{
    using disk::BlobId;
    if (blobId.size() != BlobId::size)
        damaged(QStringLiteral("a BLOB id is not 8 bytes long"));
    const auto *id = reinterpret_cast<const uint8_t *>(blobId.data());
    const int relation = get16(id + BlobId::relation);
    const uint64_t recordNumber = get32(id + BlobId::number) | (uint64_t(id[BlobId::numberHigh]) << 32);
    if (relation == 0 && recordNumber == 0)
        return {};
    if (relation != pages.relationId())
        damaged(QStringLiteral("a BLOB of table %1 names table %2").arg(pages.relationId()).arg(relation));

    const RecordSlot slot = pages.locateBlob(recordNumber);
    if (!(slot.flags & BlobHeader) || slot.rawLength < disk::BlobHeader::data)
        damaged(QStringLiteral("line %1 of page %2 should hold a BLOB but does not").arg(slot.line).arg(slot.pageNumber));
    const uint8_t *header = slot.raw;
    const int level = header[disk::BlobHeader::level];
    const uint64_t storedLength = get32(header + disk::BlobHeader::length);
    const PageFile &file = pages.store().file();
    const uint64_t fileBytes = file.pageCount() * file.pageSize();
    if (storedLength > fileBytes)
        damaged(QStringLiteral("a BLOB claims to be longer than the whole file"));
    const bool segmented = !(slot.flags & disk::BlobHeader::streamFlag);
    // Each segment adds its 2-byte length to what the pages hold.
    const uint64_t segments = get32(header + disk::BlobHeader::segments);
    const uint64_t ceiling = storedLength + (segmented ? 2 * std::min<uint64_t>(segments, fileBytes) : 0);

    Collector collector(file, ceiling);
    const uint8_t *list = header + disk::BlobHeader::data;
    const size_t listLength = slot.rawLength - disk::BlobHeader::data;
    switch (level) {
    case 0:
        collector.add(list, listLength);
        break;
    case 1:
    case 2:
        for (size_t at = 0; at + 4 <= listLength; at += 4)
            collector.addPage(get32(list + at), level == 2);
        break;
    default:
        damaged(QStringLiteral("a BLOB has an unknown level %1").arg(level));
    }
    QByteArray stored = collector.take();
    QByteArray content = segmented ? joinSegments(stored) : std::move(stored);
    if (uint64_t(content.size()) != storedLength)
        damaged(QStringLiteral("a BLOB holds %1 bytes, its header says %2").arg(content.size()).arg(storedLength));
    return content;
}

} // namespace ods

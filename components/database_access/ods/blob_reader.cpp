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
        const PageView page = m_file.page(number, BlobPage);
        const bool isPointerPage = (page.flags() & disk::BlobPage::pointerFlag) != 0;
        if (isPointerPage != pointers)
            damagedPage(number, QStringLiteral("blob page %1 is of the wrong kind").arg(number));
        const size_t length = page[disk::BlobPage::length];
        if (!page.span().has(disk::BlobPage::data.offset, length))
            damagedPage(number, QStringLiteral("blob page %1 claims more bytes than it holds").arg(number));
        const PageSpan content = page.part(disk::BlobPage::data.offset, length);
        if (!pointers) {
            add(content.data(), length);
            return;
        }
        for (size_t entry = 0; entry < length / disk::PageNumberEntry::size; ++entry)
            addPage(content[disk::PageNumberEntry::page.within(entry * disk::PageNumberEntry::size)], false);
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
    const int relation = readField(id, BlobId::relation);
    const uint64_t recordNumber = readField(id, BlobId::number) | (uint64_t(readField(id, BlobId::numberHigh)) << 32);
    if (relation == 0 && recordNumber == 0)
        return {};
    if (relation != pages.relationId())
        damaged(QStringLiteral("a BLOB of table %1 names table %2").arg(pages.relationId()).arg(relation));

    using Header = disk::BlobHeader;
    const RecordSlot slot = pages.locateBlob(recordNumber);
    if (!(slot.flags & BlobHeader) || slot.raw.size() < Header::data.offset)
        damagedPage(slot.page.number(), QStringLiteral("line %1 of page %2 should hold a BLOB but does not")
                                            .arg(slot.line)
                                            .arg(slot.page.number()));
    const int level = slot.raw[Header::level];
    const uint64_t storedLength = slot.raw[Header::length];
    const PageFile &file = pages.store().file();
    const uint64_t fileBytes = file.pageCount() * file.pageSize();
    if (storedLength > fileBytes)
        damaged(QStringLiteral("a BLOB claims to be longer than the whole file"));
    const bool segmented = !(slot.flags & StreamBlob);
    // Each segment adds its 2-byte length to what the pages hold.
    const uint64_t segments = slot.raw[Header::segments];
    const uint64_t ceiling = storedLength + (segmented ? 2 * std::min<uint64_t>(segments, fileBytes) : 0);

    Collector collector(file, ceiling);
    const PageSpan list = slot.raw.from(Header::data.offset);
    switch (level) {
    case 0:
        collector.add(list.data(), list.size());
        break;
    case 1:
    case 2:
        for (size_t entry = 0; entry < list.size() / disk::PageNumberEntry::size; ++entry)
            collector.addPage(list[disk::PageNumberEntry::page.within(entry * disk::PageNumberEntry::size)],
                              level == 2);
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

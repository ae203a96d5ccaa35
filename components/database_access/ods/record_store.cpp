#include "record_store.h"

#include "index_leaves.h"

#include <algorithm>
#include <climits>

namespace ods {

namespace {

using disk::FragmentedHeader;
using disk::RecordHeader;
// Far more versions or fragments than any sound record has: a chain longer
// than this loops.
constexpr int chainLimit = 100000;
// More bytes than any record format holds.
constexpr size_t recordLimit = 1 << 20;

} // namespace

RecordStore::RecordStore(const PageFile &file, StorageLayout layout, const TransactionInventory &transactions)
    : m_file(file), m_layout(layout), m_transactions(transactions)
{
}

bool RecordStore::slot(const PageView &page, uint16_t line, RecordSlot &out) const
{
    using disk::LineEntry;
    const size_t entry = disk::DataPage::lines.entry(line);
    if (line >= page[disk::DataPage::count] || !page.span().has(entry, LineEntry::size))
        return false;
    const size_t offset = page[LineEntry::offset.within(entry)];
    const size_t length = page[LineEntry::length.within(entry)];
    if (offset == 0)
        return false;
    const uint32_t number = page.number();
    if (!page.span().has(offset, length) || length < RecordHeader::size)
        damagedPage(number, QStringLiteral("record %1 of page %2 lies outside its page").arg(line).arg(number));
    const PageSpan raw = page.part(offset, length);
    out.page = page;
    out.line = line;
    out.flags = raw[RecordHeader::flags];
    out.transaction = raw[RecordHeader::transaction];
    out.backPage = raw[RecordHeader::backPage];
    out.backLine = raw[RecordHeader::backLine];
    out.format = raw[RecordHeader::format];
    if (!m_layout.hasLongTransactions())
        out.flags &= ~uint16_t(LongTransaction | NotPacked);
    size_t headerSize = RecordHeader::size;
    if (out.flags & LongTransaction) {
        headerSize = RecordHeader::longSize;
        if (length < RecordHeader::longSize)
            damagedPage(number, QStringLiteral("record %1 of page %2 is too short").arg(line).arg(number));
        out.transaction |= uint64_t(raw[RecordHeader::transactionHigh]) << 32;
    }
    if (out.flags & Incomplete) {
        headerSize = FragmentedHeader::size;
        if (length < FragmentedHeader::size)
            damagedPage(number, QStringLiteral("record %1 of page %2 is too short").arg(line).arg(number));
        out.fragmentPage = raw[FragmentedHeader::fragmentPage];
        out.fragmentLine = raw[FragmentedHeader::fragmentLine];
    }
    out.raw = raw;
    out.data = raw.from(headerSize);
    return true;
}

const std::map<uint32_t, uint32_t> &RecordStore::searchedDataPages(int relation) const
{
    std::call_once(m_searched, [this] {
        const bool indicesRead = m_layout.version->indexNodes != IndexNodes::Unknown;
        for (uint64_t number = 1; number < m_file.pageCount(); ++number) {
            try {
                const PageView page = m_file.page(uint32_t(number), DataPage, IndexPage);
                if (page.type() == IndexPage) {
                    if (indicesRead && page[disk::IndexPage::level] == 0)
                        m_leafPages[page[disk::IndexPage::relation]][page[disk::IndexPage::id]].insert(uint32_t(number));
                    continue;
                }
                // A page freed and not reused keeps what it held: the first
                // page found for a place is kept.
                m_dataPages[page[disk::DataPage::relation]].emplace(page[disk::DataPage::sequence], uint32_t(number));
            } catch (const components::ComponentError &) {
            }
        }
    });
    static const std::map<uint32_t, uint32_t> none;
    const auto found = m_dataPages.find(relation);
    return found == m_dataPages.end() ? none : found->second;
}

bool RecordStore::walkLeaves(int relation, int id, const std::set<uint32_t> &leaves,
                             const std::function<void(uint64_t)> &record) const
{
    // Freed pages keep what they held: the level starts at the one leaf
    // without a left neighbour, and only pages its siblings reach count.
    uint32_t first = 0;
    for (const uint32_t number : leaves) {
        try {
            if (m_file.page(number, IndexPage)[disk::IndexPage::leftSibling] != 0)
                continue;
        } catch (const components::ComponentError &) {
            continue;
        }
        if (first != 0)
            return false;
        first = number;
    }
    size_t walked = 0;
    uint32_t previous = 0;
    for (uint32_t number = first; number != 0;) {
        if (!leaves.count(number) || ++walked > leaves.size())
            return false;
        try {
            const PageView page = m_file.page(number, IndexPage);
            if (page[disk::IndexPage::relation] != relation || page[disk::IndexPage::id] != id ||
                page[disk::IndexPage::leftSibling] != previous ||
                !forEachLeafRecord(page, m_layout.version->indexNodes, record))
                return false;
            previous = number;
            number = page[disk::IndexPage::sibling];
        } catch (const components::ComponentError &) {
            return false;
        }
    }
    return first != 0;
}

std::optional<long long> RecordStore::indexedRecords(int relation, const std::set<uint32_t> &sequences) const
{
    searchedDataPages(relation);   // the one look at every page finds the leaves too
    const auto found = m_leafPages.find(relation);
    if (found == m_leafPages.end() || sequences.empty())
        return std::nullopt;
    const uint64_t perPage = m_layout.recordsPerPage();
    std::optional<long long> told;
    uint64_t mostEntries = 0;
    for (const auto &[id, leaves] : found->second) {
        uint64_t entries = 0;
        // A record whose key changed may be in an index once per version.
        std::set<uint64_t> lost;
        const bool whole = walkLeaves(relation, id, leaves, [&](uint64_t number) {
            ++entries;
            if (sequences.count(uint32_t(std::min<uint64_t>(number / perPage, UINT32_MAX))))
                lost.insert(number);
        });
        if (whole && (!told || entries > mostEntries)) {
            told = (long long)lost.size();
            mostEntries = entries;
        }
    }
    return told;
}

RecordSlot RecordStore::follow(uint32_t pageNumber, uint16_t line) const
{
    RecordSlot next;
    if (!slot(m_file.page(pageNumber, DataPage), line, next))
        damaged(QStringLiteral("a record points to an empty line %1 of page %2").arg(line).arg(pageNumber));
    return next;
}

void RecordStore::expand(const RecordSlot &head, std::vector<uint8_t> &out, size_t limit) const
{
    const auto packing = [this](uint16_t flags) {
        if (flags & NotPacked)
            return Packing::Unpacked;
        return m_layout.hasLongRuns() ? Packing::LongRuns : Packing::Runs;
    };
    out.clear();
    unpack(head.data.data(), head.data.size(), packing(head.flags), out, limit);
    RecordSlot piece = head;
    int fragments = 0;
    while (piece.flags & Incomplete) {
        if (++fragments > chainLimit)
            damaged(QStringLiteral("the fragments of a record on page %1 form a loop").arg(head.page.number()));
        piece = follow(piece.fragmentPage, piece.fragmentLine);
        if (!(piece.flags & Fragment))
            damagedPage(piece.page.number(), QStringLiteral("line %1 of page %2 should continue a record but does not")
                                                 .arg(piece.line)
                                                 .arg(piece.page.number()));
        unpack(piece.data.data(), piece.data.size(), packing(piece.flags), out, limit);
    }
}

bool RecordStore::newestCommitted(const RecordSlot &primary, RecordImage *image,
                                  const std::function<size_t(int)> &formatLength) const
{
    // Most records have no older version that counts: no chain to keep.
    if (m_transactions.committed(primary.transaction)) {
        if (primary.flags & Deleted)
            return false;
        if (image) {
            expand(primary, image->data, recordLimit);
            image->format = primary.format;
        }
        return true;
    }
    std::vector<RecordSlot> chain{primary};
    while (!m_transactions.committed(chain.back().transaction)) {
        const RecordSlot &newer = chain.back();
        if (newer.backPage == 0)
            return false;
        if (chain.size() > size_t(chainLimit))
            damaged(QStringLiteral("the versions of a record on page %1 form a loop").arg(primary.page.number()));
        RecordSlot older = follow(newer.backPage, newer.backLine);
        if (older.flags & (Fragment | BlobHeader))
            damagedPage(older.page.number(),
                        QStringLiteral("a back version on page %1 is not a record").arg(older.page.number()));
        chain.push_back(std::move(older));
    }
    if (chain.back().flags & Deleted)
        return false;
    if (!image)
        return true;

    // Back versions below a version flagged DeltaBelow are differences from
    // it: start from the newest complete version these build on.
    size_t base = chain.size() - 1;
    while (base > 0 && (chain[base - 1].flags & DeltaBelow))
        --base;
    expand(chain[base], image->data, recordLimit);
    std::vector<uint8_t> differences;
    for (size_t i = base + 1; i < chain.size(); ++i) {
        expand(chain[i], differences, recordLimit);
        if (const size_t length = formatLength(chain[i].format)) {
            if (length > recordLimit)
                damaged(QStringLiteral("a record format is longer than any record can be"));
            image->data.resize(length, 0);
        }
        applyDifferences(differences, image->data);
    }
    image->format = chain.back().format;
    return true;
}

} // namespace ods

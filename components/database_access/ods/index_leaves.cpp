#include "index_leaves.h"

namespace ods {

namespace {

using disk::IndexPage;
using disk::PlainIndexNode;

// Reads a compressed node's parts, each a byte or a run of 7-bit groups,
// never past `end`.
class NodeReader {
public:
    NodeReader(const PageView &page, size_t at, size_t end) : m_page(page), m_at(at), m_end(end) {}

    bool byte(uint8_t &out)
    {
        if (m_at >= m_end)
            return false;
        out = m_page.byte(m_at++);
        return true;
    }
    // Up to `most` 7-bit groups above the `bits` already in `value`, each
    // but the last of them flagged by its top bit when another follows.
    bool groups(uint64_t &value, unsigned bits, int most)
    {
        for (int i = 0; i < most; ++i, bits += 7) {
            uint8_t next = 0;
            if (!byte(next))
                return false;
            value |= uint64_t(next & 0x7F) << bits;
            if (!(next & 0x80))
                break;
        }
        return true;
    }
    bool skip(size_t length)
    {
        if (length > m_end - m_at)
            return false;
        m_at += length;
        return true;
    }
private:
    const PageView &m_page;
    size_t m_at;
    size_t m_end;
};

bool compressedLeaf(const PageView &page, size_t at, size_t end, const std::function<void(uint64_t)> &record)
{
    using Node = disk::CompressedIndexNode;
    NodeReader node(page, at, end);
    for (;;) {
        uint8_t first = 0;
        if (!node.byte(first))
            return false;
        const unsigned kind = first >> Node::kindShift;
        if (kind == Node::endOfLevel || kind == Node::endOfBucket)
            return true;
        if (kind > Node::oneByteKey)
            return false;
        uint64_t number = first & Node::numberBitsInFirst;
        if (!node.groups(number, Node::kindShift, Node::numberGroups))
            return false;
        uint64_t prefix = 0;
        if (kind != Node::noPrefixNoKey && !node.groups(prefix, 0, Node::lengthGroups))
            return false;
        uint64_t length = kind == Node::oneByteKey ? 1 : 0;
        if (kind == Node::normal && !node.groups(length, 0, Node::lengthGroups))
            return false;
        if (!node.skip(size_t(length)))
            return false;
        record(number);
    }
}

bool plainLeaf(const PageView &page, size_t at, size_t end, const std::function<void(uint64_t)> &record)
{
    for (;;) {
        if (end - at < PlainIndexNode::size)
            return false;
        const PageSpan node = page.part(at, PlainIndexNode::size);
        const auto number = int32_t(node[PlainIndexNode::number]);
        if (number == PlainIndexNode::endOfLevel || number == PlainIndexNode::endOfBucket)
            return true;
        if (number < 0)
            return false;
        at += PlainIndexNode::size;
        const size_t length = node[PlainIndexNode::length];
        if (length > end - at)
            return false;
        at += length;
        record(uint64_t(number));
    }
}

} // namespace

bool forEachLeafRecord(const PageView &page, IndexNodes nodes, const std::function<void(uint64_t)> &record)
{
    const size_t end = page[IndexPage::length];
    if (end > page.span().size() || nodes == IndexNodes::Unknown)
        return false;
    const uint8_t flags = page.flags();
    size_t first = IndexPage::nodesUpTo11;
    if (nodes == IndexNodes::Compressed12)
        first = IndexPage::jumpTableFrom12 + page[IndexPage::jumpSize];
    else if (flags & IndexPage::jumpInfoFlag)
        first = page[IndexPage::firstNodeUpTo11];
    if (first > end)
        return false;
    if (nodes == IndexNodes::Compressed12 || (flags & IndexPage::compressedFlag))
        return compressedLeaf(page, first, end, record);
    return plainLeaf(page, first, end, record);
}

} // namespace ods

#pragma once

// Pages as the reader sees them: a page of a known type and number, and the
// parts of it (a record, a BLOB's content) that reads are checked against.
// A field that would lie outside its part is damage of that page
// (PageDamage), never a read of whatever lies beyond; so a reader of a
// damaged file can lose one page and go on with the next.

#include "on_disk_format.h"
#include "page_bytes.h"

#include <memory>
#include <vector>

namespace ods {

// What a message calls a page of `type`: "data page", "pointer page".
QString pageKind(PageType type);

// Bytes of one page that every read is checked against: the whole page, or
// a part of it whose fields count from its own start.
class PageSpan {
public:
    PageSpan() = default;
    PageSpan(const uint8_t *data, size_t size, uint32_t page, PageType type)
        : m_data(data), m_size(size), m_page(page), m_type(type)
    {
    }

    const uint8_t *data() const { return m_data; }
    size_t size() const { return m_size; }
    uint32_t page() const { return m_page; }
    PageType type() const { return m_type; }

    bool has(size_t offset, size_t length) const { return offset <= m_size && length <= m_size - offset; }

    template <typename T>
    T operator[](disk::Field<T> field) const
    {
        if (!has(field.offset, field.size)) [[unlikely]]
            outside(field.offset, field.size);
        return readField(m_data, field);
    }
    uint8_t byte(size_t offset) const { return (*this)[disk::Field8{offset}]; }

    // `length` bytes from `offset`, which must lie inside this part.
    PageSpan part(size_t offset, size_t length) const
    {
        if (!has(offset, length)) [[unlikely]]
            outside(offset, length);
        PageSpan inner = *this;
        inner.m_data += offset;
        inner.m_size = length;
        inner.m_start += offset;
        return inner;
    }
    PageSpan from(size_t offset) const { return part(offset, offset <= m_size ? m_size - offset : 0); }

private:
    [[noreturn]] void outside(size_t offset, size_t length) const;

    const uint8_t *m_data = nullptr;
    size_t m_size = 0;
    size_t m_start = 0;   // where this part begins in its page
    uint32_t m_page = 0;
    PageType m_type = PageType(0);
};

using Page = std::shared_ptr<const std::vector<uint8_t>>;

// A page read from the file: it keeps its bytes alive, and every read of it
// is bounded by its size.
class PageView {
public:
    PageView() = default;
    // The page's type is what its first byte says; PageFile checks it.
    PageView(Page bytes, uint32_t number)
        : m_bytes(std::move(bytes)),
          m_span(m_bytes->data(), m_bytes->size(), number, m_bytes->empty() ? PageType(0) : PageType(m_bytes->front()))
    {
    }

    explicit operator bool() const { return bool(m_bytes); }
    void reset() { *this = PageView(); }

    uint32_t number() const { return m_span.page(); }
    PageType type() const { return m_span.type(); }
    uint8_t flags() const { return m_span[disk::PageHeader::flags]; }
    const PageSpan &span() const { return m_span; }

    template <typename T>
    T operator[](disk::Field<T> field) const
    {
        return m_span[field];
    }
    uint8_t byte(size_t offset) const { return m_span.byte(offset); }
    PageSpan part(size_t offset, size_t length) const { return m_span.part(offset, length); }

private:
    Page m_bytes;
    PageSpan m_span;
};

} // namespace ods

#pragma once

// Little-endian field access into page images, and the one way this reader
// reports a file it cannot make sense of. Every on-disk number is read through
// these so that no read can leave the buffer it belongs to.

#include "component_error.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ods {

[[noreturn]] inline void fail(const QString &whatWasFound)
{
    throw components::ComponentError(whatWasFound);
}

// A page or record that contradicts the structure: the file is damaged.
[[noreturn]] inline void damaged(const QString &detail)
{
    fail(QStringLiteral("The database file is damaged: %1. Repair it with the tools of the Firebird version that "
                        "made it (gfix, or a backup and restore with gbak), or use a backup copy.")
             .arg(detail));
}

inline uint16_t get16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// A bounded view of bytes; reads past its end are damage, never undefined.
struct ByteSpan {
    const uint8_t *data = nullptr;
    size_t size = 0;

    bool has(size_t offset, size_t length) const { return offset <= size && length <= size - offset; }
    uint16_t u16(size_t offset) const
    {
        if (!has(offset, 2))
            damaged(QStringLiteral("a field lies outside its record"));
        return get16(data + offset);
    }
    uint32_t u32(size_t offset) const
    {
        if (!has(offset, 4))
            damaged(QStringLiteral("a field lies outside its record"));
        return get32(data + offset);
    }
};

} // namespace ods

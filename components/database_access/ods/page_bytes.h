#pragma once

// The one way this reader reports a file it cannot make sense of, and
// little-endian numbers in values that are no page's (record images, BLOB
// contents), read where their length has been checked.

#include "component_error.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace ods {

[[noreturn]] inline void fail(const QString &whatWasFound)
{
    throw components::ComponentError(whatWasFound);
}

inline QString damageMessage(const QString &detail)
{
    return QStringLiteral("The database file is damaged: %1. Repair it with the tools of the Firebird version that "
                          "made it (gfix, or a backup and restore with gbak), or use a backup copy.")
        .arg(detail);
}

// A page or record that contradicts the structure: the file is damaged.
// Apart from other failures (a file that cannot be read, a key it lacks), a
// reader of a damaged file passes over what it costs.
class FileDamage : public components::ComponentError {
public:
    explicit FileDamage(const QString &detail) : ComponentError(damageMessage(detail)) {}
};

[[noreturn]] inline void damaged(const QString &detail)
{
    throw FileDamage(detail);
}

// Damage found on one page, which a reader of a damaged file can pass over
// for the next: what the user is told is that of damaged().
class PageDamage : public FileDamage {
public:
    PageDamage(uint32_t page, const QString &detail) : FileDamage(detail), m_page(page) {}
    uint32_t page() const { return m_page; }

private:
    uint32_t m_page;
};

[[noreturn]] inline void damagedPage(uint32_t page, const QString &detail)
{
    throw PageDamage(page, detail);
}

inline uint16_t get16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace ods

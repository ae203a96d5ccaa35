// Which product a file's header names: the ODS word (with or without
// Firebird's flag) and the minor version, which each lineage keeps at its own
// place in the header.

#include "ods_version.h"

#include <gtest/gtest.h>

namespace {

// A header page holding only what names the version; the minor version
// at `minorAt`, the other candidate places holding a decoy.
std::vector<uint8_t> header(uint16_t word, int minor, size_t minorAt)
{
    std::vector<uint8_t> page(1024, 0);
    page[18] = uint8_t(word & 0xff);
    page[19] = uint8_t(word >> 8);
    for (const size_t at : {20, 62, 64})
        page[at] = 9;
    page[minorAt] = uint8_t(minor);
    return page;
}

TEST(OdsVersionNames, EveryKnownVersionIsNamedForTheReleaseThatWritesIt)
{
    const struct {
        uint16_t word;
        int minor;
        size_t minorAt;
        const char *madeBy;
    } cases[] = {
        {7, 2, 62, "InterBase 3 or older (on-disk structure 7.2)"},
        {8, 0, 62, "InterBase 4.x (on-disk structure 8.0)"},
        {8, 2, 62, "InterBase 4.x (on-disk structure 8.2)"},
        {9, 0, 62, "InterBase 5.x (on-disk structure 9.0)"},
        {9, 1, 62, "InterBase 5.x (on-disk structure 9.1)"},
        {10, 0, 62, "Firebird 1.0 or InterBase 6.0 (on-disk structure 10.0)"},
        {10, 1, 62, "Firebird 1.5 or InterBase 6.5 (on-disk structure 10.1)"},
        {11, 0, 62, "InterBase 7.0 (on-disk structure 11.0)"},
        {11, 1, 62, "InterBase 7.1 (on-disk structure 11.1)"},
        {11, 2, 62, "InterBase 7.5 (on-disk structure 11.2)"},
        {11, 3, 62, "InterBase 7.x (on-disk structure 11.3)"},
        {12, 0, 62, "InterBase 2007 (on-disk structure 12.0)"},
        {13, 2, 62, "InterBase 2009 (on-disk structure 13.2)"},
        {15, 0, 62, "InterBase XE or XE3 (on-disk structure 15.0)"},
        {16, 1, 20, "InterBase XE7 (on-disk structure 16.1)"},
        {17, 0, 20, "InterBase 2017 (on-disk structure 17.0)"},
        {18, 2, 20, "InterBase 2020 (on-disk structure 18.2)"},
        {19, 0, 20, "InterBase 15 (on-disk structure 19.0)"},
        {20, 0, 20, "an InterBase version newer than InterBase 15 (on-disk structure 20.0)"},
        {0x800b, 0, 62, "Firebird 2.0 (on-disk structure 11.0)"},
        {0x800b, 1, 62, "Firebird 2.1 (on-disk structure 11.1)"},
        {0x800b, 2, 62, "Firebird 2.5 (on-disk structure 11.2)"},
        {0x800c, 0, 64, "Firebird 3.0 (on-disk structure 12.0)"},
        {0x800d, 0, 64, "Firebird 4.0 (on-disk structure 13.0)"},
        {0x800d, 1, 64, "Firebird 5.0 (on-disk structure 13.1)"},
        {0x800d, 2, 64, "a Firebird version newer than 5.0 (on-disk structure 13.2)"},
        {0x800e, 0, 64, "a Firebird version newer than 5.0 (on-disk structure 14.0)"},
        {0x800c, 1, 64, "an unknown Firebird version (on-disk structure 12.1)"},
    };
    for (const auto &each : cases) {
        const ods::OdsVersion version = ods::odsVersionOf(header(each.word, each.minor, each.minorAt));
        EXPECT_EQ(ods::madeBy(version).toStdString(), each.madeBy) << std::hex << each.word;
    }
}

} // namespace

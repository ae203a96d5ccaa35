// Which release a file's header names: the ODS word (with or without
// Firebird's flag) and the minor version.

#include "product_names.h"

#include <gtest/gtest.h>

namespace {

TEST(OdsProductNames, EveryKnownVersionIsNamedForTheReleaseThatWritesIt)
{
    const struct {
        uint16_t word;
        int minor;
        const char *madeBy;
    } cases[] = {
        {7, 2, "InterBase 3 or older (on-disk structure 7.2)"},
        {8, 0, "InterBase 4.x (on-disk structure 8.0)"},
        {8, 2, "InterBase 4.x (on-disk structure 8.2)"},
        {9, 0, "InterBase 5.x (on-disk structure 9.0)"},
        {9, 1, "InterBase 5.x (on-disk structure 9.1)"},
        {10, 0, "Firebird 1.0 or InterBase 6.0 (on-disk structure 10.0)"},
        {10, 1, "Firebird 1.5 or InterBase 6.5 (on-disk structure 10.1)"},
        {11, 0, "InterBase 7.0 (on-disk structure 11.0)"},
        {11, 1, "InterBase 7.1 (on-disk structure 11.1)"},
        {11, 2, "InterBase 7.5 (on-disk structure 11.2)"},
        {11, 3, "InterBase 7.x (on-disk structure 11.3)"},
        {12, 0, "InterBase 2007 (on-disk structure 12.0)"},
        {13, 2, "InterBase 2009 (on-disk structure 13.2)"},
        {15, 0, "InterBase XE or XE3 (on-disk structure 15.0)"},
        {16, 1, "InterBase XE7 (on-disk structure 16.1)"},
        {17, 0, "InterBase 2017 (on-disk structure 17.0)"},
        {18, 2, "InterBase 2020 (on-disk structure 18.2)"},
        {19, 0, "InterBase 15 (on-disk structure 19.0)"},
        {20, 0, "an InterBase version newer than InterBase 15 (on-disk structure 20.0)"},
        {0x800b, 0, "Firebird 2.0 (on-disk structure 11.0)"},
        {0x800b, 1, "Firebird 2.1 (on-disk structure 11.1)"},
        {0x800b, 2, "Firebird 2.5 (on-disk structure 11.2)"},
        {0x800c, 0, "Firebird 3.0 (on-disk structure 12.0)"},
        {0x800d, 0, "Firebird 4.0 (on-disk structure 13.0)"},
        {0x800d, 1, "Firebird 5.0 (on-disk structure 13.1)"},
        {0x800d, 2, "a Firebird version newer than 5.0 (on-disk structure 13.2)"},
        {0x800e, 0, "a Firebird version newer than 5.0 (on-disk structure 14.0)"},
        {0x800c, 1, "an unknown Firebird version (on-disk structure 12.1)"},
    };
    for (const auto &each : cases)
        EXPECT_EQ(ods::madeBy(each.word, each.minor).toStdString(), each.madeBy) << std::hex << each.word;
}

} // namespace

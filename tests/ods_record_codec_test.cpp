// Record compression and back-version differences, byte for byte: the runs
// of every ODS, the long runs and unpacked records of ODS 13.1, and streams
// that would write past the record, which must be refused.

#include "component_error.h"
#include "record_codec.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(OdsRecordCodec, ExpandsEachPackingAndRefusesOverruns)
{
    const struct {
        const char *what;
        Bytes stored;
        ods::Packing packing;
        size_t limit;
        Bytes expanded;   // empty with `refused`
        bool refused;
    } cases[] = {
        {"literal then run", {3, 'a', 'b', 'c', 0xFD, 'x'}, ods::Packing::Runs, 16, {'a', 'b', 'c', 'x', 'x', 'x'}, false},
        {"zero padding", {1, 'a', 0, 0}, ods::Packing::Runs, 16, {'a'}, false},
        {"-1 is a run of one before ODS 13.1", {0xFF, 'z'}, ods::Packing::Runs, 16, {'z'}, false},
        {"two-byte run", {0xFF, 0x2C, 0x01, 0}, ods::Packing::LongRuns, 300, Bytes(300, 0), false},
        {"four-byte run", {0xFE, 0x00, 0x00, 0x01, 0x00, ' '}, ods::Packing::LongRuns, 65536, Bytes(65536, ' '), false},
        {"unpacked with padding", {'a', 'b', 0, 0}, ods::Packing::Unpacked, 2, {'a', 'b'}, false},
        {"literal past the end", {5, 'a', 'b'}, ods::Packing::Runs, 16, {}, true},
        {"run past the limit", {0x80, 'x'}, ods::Packing::Runs, 100, {}, true},
        {"huge long run", {0xFE, 0xFF, 0xFF, 0xFF, 0x7F, 0}, ods::Packing::LongRuns, 1 << 20, {}, true},
        {"run without its byte", {0xFD}, ods::Packing::Runs, 16, {}, true},
        {"unpacked data past the limit", {'a', 'b', 'c'}, ods::Packing::Unpacked, 2, {}, true},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.what);
        Bytes out;
        bool refused = false;
        try {
            ods::unpack(each.stored.data(), each.stored.size(), each.packing, out, each.limit);
        } catch (const components::ComponentError &) {
            refused = true;
        }
        EXPECT_EQ(refused, each.refused);
        if (!each.refused) {
            EXPECT_EQ(out, each.expanded);
        }
    }
}

TEST(OdsRecordCodec, DifferencesTurnTheNewerVersionIntoTheOlder)
{
    Bytes record{'n', 'e', 'w', 'e', 'r', '!'};
    ods::applyDifferences({0xFE, 3, 'o', 'l', 'd', 0xFF}, record);   // keep 2, replace 3, keep 1
    EXPECT_EQ(record, (Bytes{'n', 'e', 'o', 'l', 'd', '!'}));

    Bytes shorter{'a', 'b', 'c', 'd'};
    ods::applyDifferences({0xFE}, shorter);   // the older version ends after 2 bytes
    EXPECT_EQ(shorter, (Bytes{'a', 'b'}));

    Bytes target{'a', 'b'};
    EXPECT_THROW(ods::applyDifferences({3, 'x', 'y', 'z'}, target), components::ComponentError);
}

} // namespace

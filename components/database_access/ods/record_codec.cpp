#include "record_codec.h"

#include "page_bytes.h"

#include <algorithm>

namespace ods {

namespace {

[[noreturn]] void overrun()
{
    damaged(QStringLiteral("a compressed record does not expand to its format's length"));
}

} // namespace

void unpack(const uint8_t *input, size_t length, Packing packing, std::vector<uint8_t> &output, size_t limit)
{
    const uint8_t *const end = input + length;
    if (packing == Packing::Unpacked) {
        const size_t room = limit > output.size() ? limit - output.size() : 0;
        const size_t take = length < room ? length : room;
        output.insert(output.end(), input, input + take);
        for (const uint8_t *rest = input + take; rest < end; ++rest)
            if (*rest)
                overrun();
        return;
    }
    while (input < end) {
        const int control = int8_t(*input++);
        if (control >= 0) {
            const size_t count = size_t(control);
            if (size_t(end - input) < count || output.size() + count > limit)
                overrun();
            output.insert(output.end(), input, input + count);
            input += count;
            continue;
        }
        size_t count = size_t(-control);
        if (packing == Packing::LongRuns && (control == -1 || control == -2)) {
            const size_t width = control == -1 ? 2 : 4;
            if (size_t(end - input) < width)
                overrun();
            count = width == 2 ? get16(input) : get32(input);
            input += width;
        }
        if (input >= end || count > limit - std::min(limit, output.size()))
            overrun();
        output.insert(output.end(), count, *input++);
    }
}

void applyDifferences(const std::vector<uint8_t> &differences, std::vector<uint8_t> &record)
{
    size_t at = 0;
    size_t i = 0;
    const size_t end = differences.size();
    while (i < end && at < record.size()) {
        const int control = int8_t(differences[i++]);
        if (control > 0) {
            const size_t count = size_t(control);
            if (end - i < count || record.size() - at < count)
                damaged(QStringLiteral("a back version's differences do not fit its record"));
            std::copy(differences.begin() + ptrdiff_t(i), differences.begin() + ptrdiff_t(i + count),
                      record.begin() + ptrdiff_t(at));
            i += count;
            at += count;
        } else {
            at += size_t(-control);
        }
    }
    // Only zero padding may follow the last difference.
    for (; i < end; ++i)
        if (differences[i])
            damaged(QStringLiteral("a back version's differences do not fit its record"));
    if (at > record.size())
        damaged(QStringLiteral("a back version's differences do not fit its record"));
    // The differences span the whole older record: where they end, it ends.
    record.resize(at);
}

} // namespace ods

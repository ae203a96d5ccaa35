#include "value_conversion.h"

#include "page_bytes.h"

#include <cmath>
#include <cstring>

namespace ods {

namespace {

// The size a number of this type has; 0 for other types.
int numberSize(int dtype)
{
    switch (dtype) {
    case DtShort: return 2;
    case DtLong:
    case DtReal: return 4;
    case DtInt64:
    case DtDouble: return 8;
    case DtInt128: return 16;
    default: return 0;
    }
}

bool isText(int dtype)
{
    return dtype == DtText || dtype == DtVarying;
}

bool isExact(int dtype)
{
    return dtype == DtShort || dtype == DtLong || dtype == DtInt64 || dtype == DtInt128;
}

bool isApproximate(int dtype)
{
    return dtype == DtReal || dtype == DtDouble;
}

QByteArray textOf(const FieldLayout &from, const uint8_t *value)
{
    if (from.dtype == DtText)
        return QByteArray(reinterpret_cast<const char *>(value), from.length);
    const int length = std::min<int>(get16(value), from.length - 2);
    return QByteArray(reinterpret_cast<const char *>(value + 2), std::max(length, 0));
}

__int128 exactOf(const FieldLayout &from, const uint8_t *value)
{
    switch (from.dtype) {
    case DtShort: return int16_t(get16(value));
    case DtLong: return int32_t(get32(value));
    case DtInt64: return int64_t(uint64_t(get32(value)) | (uint64_t(get32(value + 4)) << 32));
    default: {
        __int128 result = 0;
        std::memcpy(&result, value, sizeof result);
        return result;
    }
    }
}

double approximateOf(const FieldLayout &from, const uint8_t *value)
{
    if (from.dtype == DtReal) {
        float f;
        std::memcpy(&f, value, sizeof f);
        return f;
    }
    double d;
    std::memcpy(&d, value, sizeof d);
    return d;
}

__int128 rescale(__int128 number, int fromScale, int toScale)
{
    for (int s = fromScale; s > toScale; --s)
        number *= 10;
    for (int s = fromScale; s < toScale; ++s)
        number /= 10;
    return number;
}

} // namespace

bool convertValue(const FieldLayout &from, const uint8_t *value, const FieldLayout &to, QByteArray &out)
{
    out.clear();
    if (from.dtype == to.dtype && from.length == to.length && from.scale == to.scale) {
        out = QByteArray(reinterpret_cast<const char *>(value), to.length);
        return true;
    }
    const bool numbers = numberSize(from.dtype) && numberSize(to.dtype);
    if (numbers && (numberSize(from.dtype) != from.length || numberSize(to.dtype) != to.length))
        return false;
    if (isText(from.dtype) && isText(to.dtype)) {
        if ((from.dtype == DtVarying && from.length < 2) || (to.dtype == DtVarying && to.length < 2))
            return false;
        QByteArray text = textOf(from, value);
        if (to.dtype == DtText) {
            text = text.left(to.length);
            text.append(QByteArray(to.length - text.size(), ' '));
            out = text;
        } else {
            text = text.left(to.length - 2);
            const uint16_t length = uint16_t(text.size());
            out.append(char(length & 0xff)).append(char(length >> 8)).append(text);
        }
        return true;
    }
    if (!numbers)
        return false;
    if (isExact(from.dtype) && isExact(to.dtype)) {
        const __int128 number = rescale(exactOf(from, value), from.scale, to.scale);
        out = QByteArray(reinterpret_cast<const char *>(&number), to.length);  // little-endian: the low bytes
        return true;
    }
    if ((isExact(from.dtype) || isApproximate(from.dtype)) && isApproximate(to.dtype)) {
        const double number = isExact(from.dtype) ? double(exactOf(from, value)) * std::pow(10.0, from.scale)
                                                  : approximateOf(from, value);
        if (to.dtype == DtReal) {
            const float f = float(number);
            out = QByteArray(reinterpret_cast<const char *>(&f), sizeof f);
        } else {
            out = QByteArray(reinterpret_cast<const char *>(&number), sizeof number);
        }
        return true;
    }
    return false;
}

} // namespace ods

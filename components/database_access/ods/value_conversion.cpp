#include "value_conversion.h"

#include "character_sets.h"
#include "engine_text_forms.h"
#include "page_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iconv.h>
#include <limits>

namespace ods {

namespace {

constexpr int charsetNone = 0;
constexpr int charsetOctets = 1;
constexpr int charsetUtf8 = 4;

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

bool isDateTime(int dtype)
{
    return dtype == DtDate || dtype == DtTime || dtype == DtTimestamp;
}

// The bytes each type this file converts occupies; a layout that disagrees
// is damage. 0 for the others, which are only ever copied as they are.
int fixedSize(int dtype)
{
    switch (dtype) {
    case DtShort: return 2;
    case DtLong:
    case DtReal:
    case DtDate:
    case DtTime: return 4;
    case DtInt64:
    case DtDouble:
    case DtTimestamp: return 8;
    case DtInt128: return 16;
    default: return 0;
    }
}

bool soundLayout(const FieldLayout &layout)
{
    if (isText(layout.dtype))
        return layout.dtype == DtText || layout.length >= 2;
    const int size = fixedSize(layout.dtype);
    return size == 0 || size == layout.length;
}

int charsetOf(const FieldLayout &text)
{
    return text.subType & 0xff;
}

// Most bytes a character takes in the character sets whose declared length
// counts characters; 1 where it counts bytes (single-byte sets, NONE,
// OCTETS, and UNICODE_FSS, which keeps the older byte semantics).
int bytesPerCountedCharacter(int charset)
{
    switch (charset) {
    case charsetUtf8:
    case 69: return 4;   // GB18030
    case 5: case 6: case 44: case 56: case 57: case 64: case 67: case 68: return 2;
    default: return 1;
    }
}

int64_t read64(const uint8_t *p)
{
    return int64_t(uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32));
}

__int128 exactOf(const FieldLayout &from, const uint8_t *value)
{
    switch (from.dtype) {
    case DtShort: return int16_t(get16(value));
    case DtLong: return int32_t(get32(value));
    case DtInt64: return read64(value);
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

template <typename T>
QByteArray bytesOf(const T &value, int length = sizeof(T))
{
    return QByteArray(reinterpret_cast<const char *>(&value), length);  // little-endian: the low bytes
}

// The engine's powers of ten: exact up to 1e22, then the product of two.
double powerOfTen(int exponent)
{
    static const double low[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
                                 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21,
                                 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31};
    static const double high[] = {1e0, 1e32, 1e64, 1e96, 1e128, 1e160, 1e192, 1e224, 1e256, 1e288};
    return exponent >= 320 ? HUGE_VAL : high[exponent >> 5] * low[exponent & 31];
}

// Rescales as the engine does: the dropped digits round half away from zero.
bool rescale(__int128 &number, int fromScale, int toScale)
{
    constexpr __int128 limit = __int128(1) << 120;
    for (int s = fromScale; s > toScale; --s) {
        if (number > limit || number < -limit)
            return false;
        number *= 10;
    }
    int lastDropped = 0;
    for (int s = fromScale; s < toScale; ++s) {
        lastDropped = int(number % 10);
        number /= 10;
    }
    if (lastDropped > 4)
        ++number;
    else if (lastDropped < -4)
        --number;
    return true;
}

bool fitsIn(__int128 number, int size)
{
    if (size >= 16)
        return true;
    const __int128 high = (__int128(1) << (size * 8 - 1)) - 1;
    return number <= high && number >= -high - 1;
}

// Text as the engine moves it into a CHAR or VARCHAR: cut to the room
// there is (only padding may be cut), padded with blanks (zero bytes for
// OCTETS) when fixed.
bool placeText(QByteArray text, const FieldLayout &to, QByteArray &out)
{
    const int charset = charsetOf(to);
    const int room = to.dtype == DtText ? to.length : to.length - 2;
    const char fill = charset == charsetOctets ? '\0' : ' ';
    const int perCharacter = bytesPerCountedCharacter(charset);
    // Where the declared length counts characters, the characters past it
    // may only be blanks; they give way to the room's own padding.
    if (perCharacter > 1 && text.size() > room / perCharacter) {
        if (charset != charsetUtf8)
            return false;
        const auto characters = [](const QByteArray &bytes) {
            qsizetype count = 0;
            for (const char c : bytes)
                count += (uint8_t(c) & 0xC0) != 0x80;
            return count;
        };
        const qsizetype allowed = room / perCharacter;
        const qsizetype total = characters(text);
        if (total > allowed) {
            QByteArray trimmed = text;
            while (trimmed.endsWith(' '))
                trimmed.chop(1);
            const qsizetype kept = characters(trimmed);
            if (kept > allowed)
                return false;
            text = trimmed + QByteArray(allowed - kept, ' ');
        }
    }
    if (text.size() > room) {
        for (qsizetype i = room; i < text.size(); ++i)
            if (text[i] != fill)
                return false;
        text.truncate(room);
    }
    if (to.dtype == DtText) {
        out = text + QByteArray(room - text.size(), fill);
    } else {
        const auto length = uint16_t(text.size());
        out = bytesOf(length) + text;
    }
    return true;
}

QByteArray textOf(const FieldLayout &from, const uint8_t *value)
{
    if (from.dtype == DtText)
        return QByteArray(reinterpret_cast<const char *>(value), from.length);
    const int length = std::min<int>(get16(value), from.length - 2);
    return QByteArray(reinterpret_cast<const char *>(value + 2), std::max(length, 0));
}

// Valid UTF-8 as the engine checks it: no overlong forms, no surrogates,
// nothing past U+10FFFF.
bool wellFormedUtf8(const QByteArray &text)
{
    const auto *p = reinterpret_cast<const uint8_t *>(text.constData());
    const auto *end = p + text.size();
    while (p < end) {
        const uint8_t lead = *p++;
        if (lead < 0x80)
            continue;
        int following = 0;
        uint8_t low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF)
            following = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            following = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else
            return false;
        if (end - p < following || *p < low || *p > high)
            return false;
        for (int i = 1; i < following; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += following;
    }
    return true;
}

// The name iconv knows a character set by, UTF-8 for Firebird's two
// Unicode sets; empty for a set this reader cannot convert.
const char *unicodeCapableName(int charset)
{
    switch (charset) {
    case 2: return "ASCII";
    case 3:
    case charsetUtf8: return "UTF-8";
    default: return iconvName(charset);
    }
}

// The whole text from one set into the other, or nothing: a byte the source
// set has no character for, or a character the target set lacks, fails it.
bool transcode(const QByteArray &text, const char *from, const char *to, QByteArray &out)
{
    const iconv_t handle = iconv_open(to, from);
    if (handle == iconv_t(-1))
        return false;
    out.resize(text.size() * 4 + 4);
    char *in = const_cast<char *>(text.constData());
    size_t inLeft = size_t(text.size());
    char *at = out.data();
    size_t outLeft = size_t(out.size());
    const bool done = iconv(handle, &in, &inLeft, &at, &outLeft) != size_t(-1) &&
                      iconv(handle, nullptr, nullptr, &at, &outLeft) != size_t(-1);
    iconv_close(handle);
    out.truncate(out.size() - qsizetype(outLeft));
    return done;
}

// Where the target set checks that its bytes are characters: the Unicode
// sets and the multi-byte Asian sets; a single-byte set takes any byte.
bool wellFormedIn(int charset, const QByteArray &text)
{
    if (charset == charsetUtf8)
        return wellFormedUtf8(text);
    if (bytesPerCharacter(charset) == 1)
        return true;
    const char *name = unicodeCapableName(charset);
    QByteArray ignored;
    return *name && transcode(text, name, "UTF-8", ignored);
}

// As the engine moves text between character sets: bytes are copied within
// one set and from or into NONE or OCTETS (where the target set checks well-
// formedness, they must be well formed); between two real sets the text goes
// through Unicode.
bool textToText(const FieldLayout &from, const uint8_t *value, const FieldLayout &to, QByteArray &out)
{
    const int source = charsetOf(from);
    const int target = charsetOf(to);
    QByteArray text = textOf(from, value);
    const bool copied = source == target || source == charsetNone || source == charsetOctets ||
                        target == charsetNone || target == charsetOctets;
    if (copied) {
        if (!wellFormedIn(target, text))
            return false;
    } else {
        const char *sourceName = unicodeCapableName(source);
        const char *targetName = unicodeCapableName(target);
        QByteArray moved;
        if (!*sourceName || !*targetName || !transcode(text, sourceName, targetName, moved))
            return false;
        text = moved;
    }
    return placeText(text, to, out);
}

QByteArray dateTimeText(const FieldLayout &from, const uint8_t *value)
{
    switch (from.dtype) {
    case DtDate: return dateText(int32_t(get32(value)));
    case DtTime: return timeText(get32(value));
    default: return dateText(int32_t(get32(value))) + ' ' + timeText(get32(value + 4));
    }
}

bool dateTimeToDateTime(const FieldLayout &from, const uint8_t *value, const FieldLayout &to, QByteArray &out)
{
    const auto raw = [&](size_t offset) { return QByteArray(reinterpret_cast<const char *>(value + offset), 4); };
    if (from.dtype == DtDate && to.dtype == DtTimestamp)
        out = raw(0) + QByteArray(4, '\0');
    else if (from.dtype == DtTimestamp && to.dtype == DtDate)
        out = raw(0);
    else if (from.dtype == DtTimestamp && to.dtype == DtTime)
        out = raw(4);
    else
        return false;   // a time has no date the engine could give it but today's
    return true;
}

bool numberToNumber(const FieldLayout &from, const uint8_t *value, const FieldLayout &to, QByteArray &out)
{
    if (isExact(to.dtype)) {
        if (!isExact(from.dtype))
            return false;
        __int128 number = exactOf(from, value);
        if (!rescale(number, from.scale, to.scale) || !fitsIn(number, to.length))
            return false;
        out = bytesOf(number, to.length);
        return true;
    }
    double number = 0;
    if (isExact(from.dtype)) {
        // The engine scales by dividing or multiplying by a power of ten,
        // which rounds differently from multiplying by its inverse.
        number = double(exactOf(from, value));
        if (from.scale < 0)
            number /= powerOfTen(-from.scale);
        else if (from.scale > 0)
            number *= powerOfTen(from.scale);
    } else {
        number = approximateOf(from, value);   // the scale of a double does not apply here
    }
    if (to.dtype == DtDouble) {
        out = bytesOf(number);
        return true;
    }
    if (std::fabs(number) > std::numeric_limits<float>::max())
        return false;
    out = bytesOf(float(number));
    return true;
}

} // namespace

bool convertValue(const FieldLayout &from, const uint8_t *value, const FieldLayout &to, QByteArray &out)
{
    out.clear();
    if (!soundLayout(from) || !soundLayout(to))
        return false;
    if (from.dtype == to.dtype && from.length == to.length && from.scale == to.scale &&
        (!isText(from.dtype) || charsetOf(from) == charsetOf(to))) {
        out = QByteArray(reinterpret_cast<const char *>(value), to.length);
        return true;
    }
    if (isText(to.dtype)) {
        if (isText(from.dtype))
            return textToText(from, value, to, out);
        QByteArray text;
        if (isExact(from.dtype))
            text = exactNumberText(exactOf(from, value), from.scale);
        else if (isApproximate(from.dtype)) {
            const int width = to.dtype == DtText ? to.length : to.length - 2;
            if (!approximateNumberText(approximateOf(from, value), from.dtype == DtDouble, from.scale, width, text))
                return false;
        } else if (isDateTime(from.dtype))
            text = dateTimeText(from, value);
        else
            return false;
        return placeText(text, to, out);
    }
    if (isDateTime(from.dtype) && isDateTime(to.dtype))
        return dateTimeToDateTime(from, value, to, out);
    if ((isExact(from.dtype) || isApproximate(from.dtype)) && (isExact(to.dtype) || isApproximate(to.dtype)))
        return numberToNumber(from, value, to, out);
    return false;
}

} // namespace ods

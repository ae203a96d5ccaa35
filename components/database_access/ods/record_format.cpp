#include "record_format.h"

#include "page_bytes.h"

#include <algorithm>

namespace ods {

namespace {

constexpr size_t descriptorSize = 12;
constexpr int highestDtype = DtTimestampTz + 4;  // leaves room for types newer than this reader

[[noreturn]] void badDescriptor()
{
    damaged(QStringLiteral("a record format (RDB$FORMATS) does not parse"));
}

FieldLayout readDescriptor(const uint8_t *p)
{
    FieldLayout field;
    field.dtype = p[0];
    field.scale = int8_t(p[1]);
    field.length = get16(p + 2);
    field.subType = int16_t(get16(p + 4));
    field.offset = get32(p + 8);
    if (field.dtype > highestDtype || (field.dtype == DtVarying && field.length < 2) ||
        (field.dtype != 0 && field.length == 0))
        badDescriptor();
    return field;
}

// The record length: up to the end of the last stored field, and never less
// than the null flags every record starts with.
size_t lengthOf(const std::vector<FieldLayout> &fields)
{
    size_t length = nullFlagBytes(fields.size());
    for (const FieldLayout &field : fields)
        if (field.stored())
            length = std::max(length, size_t(field.offset) + size_t(field.length));
    return length;
}

// Before ODS 12 the descriptor BLOB is the engine's own descriptor array: 12
// bytes a field when 32-bit engines wrote it, 16 when 64-bit ones did.
bool plausible(const QByteArray &blob, size_t stride)
{
    if (blob.isEmpty() || blob.size() % qsizetype(stride) != 0)
        return false;
    const auto *bytes = reinterpret_cast<const uint8_t *>(blob.constData());
    for (size_t at = 0; at < size_t(blob.size()); at += stride) {
        const uint32_t offset = get32(bytes + at + 8);
        if (bytes[at] > highestDtype || offset > 0x10000)
            return false;
        if (stride == 16 && get32(bytes + at + 12) != 0)
            return false;
    }
    return true;
}

} // namespace

RecordFormat parseFormatDescriptor(const QByteArray &blob, int odsMajor)
{
    RecordFormat format;
    format.known = true;
    const auto *bytes = reinterpret_cast<const uint8_t *>(blob.constData());
    const size_t size = size_t(blob.size());
    if (odsMajor < 12) {
        const size_t stride = plausible(blob, descriptorSize) ? descriptorSize : plausible(blob, 16) ? 16 : 0;
        if (stride == 0)
            badDescriptor();
        for (size_t at = 0; at < size; at += stride)
            format.fields.push_back(readDescriptor(bytes + at));
        format.length = lengthOf(format.fields);
        return format;
    }

    if (size < 2)
        badDescriptor();
    const size_t count = get16(bytes);
    size_t at = 2;
    if (count * descriptorSize > size - at)
        badDescriptor();
    for (size_t i = 0; i < count; ++i, at += descriptorSize)
        format.fields.push_back(readDescriptor(bytes + at));
    format.length = lengthOf(format.fields);
    format.defaults.resize(count);
    if (size - at < 2)
        return format;
    size_t defaults = get16(bytes + at);
    at += 2;
    while (defaults-- > 0) {
        if (size - at < 2 + descriptorSize)
            badDescriptor();
        const size_t fieldId = get16(bytes + at);
        FieldDefault value;
        value.layout = readDescriptor(bytes + at + 2);
        at += 2 + descriptorSize;
        if (size_t(value.layout.length) > size - at || fieldId >= count)
            badDescriptor();
        value.value = QByteArray(reinterpret_cast<const char *>(bytes + at), value.layout.length);
        at += size_t(value.layout.length);
        format.defaults[fieldId] = std::move(value);
    }
    return format;
}

RecordFormat layOut(const std::vector<FieldLayout> &fields, unsigned alignmentCap)
{
    RecordFormat format;
    format.known = true;
    size_t offset = nullFlagBytes(fields.size());
    for (FieldLayout field : fields) {
        if (field.dtype != 0) {
            size_t alignment = 1;
            if (field.dtype == DtVarying)
                alignment = 2;
            else if (field.dtype != DtText && field.dtype != DtCString)
                alignment = std::min<size_t>(size_t(field.length), alignmentCap);
            if (alignment > 1)
                offset = (offset + alignment - 1) / alignment * alignment;
            field.offset = uint32_t(offset);
            offset += size_t(field.length);
        }
        format.fields.push_back(field);
    }
    format.length = offset;
    return format;
}

int dtypeOfFieldType(int blrType)
{
    switch (blrType) {
    case 7: return DtShort;
    case 8: return DtLong;
    case 9: return DtQuad;
    case 10: return DtReal;
    case 11: return DtDouble;   // d_float is read as a double
    case 12: return DtDate;
    case 13: return DtTime;
    case 14: return DtText;
    case 16: return DtInt64;
    case 23: return DtBoolean;
    case 24: return DtDec64;
    case 25: return DtDec128;
    case 26: return DtInt128;
    case 27: return DtDouble;
    case 28: return DtTimeTz;
    case 29: return DtTimestampTz;
    case 35: return DtTimestamp;
    case 37: return DtVarying;
    case 40: return DtCString;
    case 261: return DtBlob;
    default: return 0;
    }
}

} // namespace ods

#include "record_format.h"

#include "ods_version.h"
#include "page_bytes.h"
#include "system_layouts.h"

#include <algorithm>

namespace ods {

namespace {

constexpr int highestDtype = DtTimestampTz + 4;  // leaves room for types newer than this reader
// InterBase's BOOLEAN in RDB$FORMATS.
constexpr int interbaseBoolean = 20;

[[noreturn]] void badDescriptor()
{
    damaged(QStringLiteral("a record format (RDB$FORMATS) does not parse"));
}

FieldLayout readEntry(const uint8_t *p, const disk::FormatEntryLayout &entry)
{
    FieldLayout field;
    field.dtype = readField(p, entry.dtype);
    field.scale = readField(p, entry.scale);
    field.length = readField(p, entry.length);
    field.subType = readField(p, entry.subType);
    field.offset = readField(p, entry.offset);
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

// Firebird's entries before ODS 12 are the engine's own descriptor array: 12
// bytes a field when 32-bit engines wrote it, 16 when 64-bit ones did.
bool plausible(const QByteArray &blob, const disk::FormatEntryLayout &entry)
{
    if (blob.isEmpty() || blob.size() % qsizetype(entry.size) != 0)
        return false;
    const auto *bytes = reinterpret_cast<const uint8_t *>(blob.constData());
    for (size_t at = 0; at < size_t(blob.size()); at += entry.size) {
        const uint32_t offset = readField(bytes + at, entry.offset);
        if (readField(bytes + at, entry.dtype) > highestDtype || offset > 0x10000)
            return false;
        for (size_t padding = entry.offset.end(); padding < entry.size; ++padding)
            if (bytes[at + padding] != 0)
                return false;
    }
    return true;
}

// Entries one after the other, the whole BLOB.
RecordFormat bareEntries(const QByteArray &blob, const disk::FormatEntryLayout &entry)
{
    if (blob.size() % qsizetype(entry.size) != 0)
        badDescriptor();
    RecordFormat format;
    format.known = true;
    const auto *bytes = reinterpret_cast<const uint8_t *>(blob.constData());
    for (size_t at = 0; at < size_t(blob.size()); at += entry.size)
        format.fields.push_back(readEntry(bytes + at, entry));
    format.length = lengthOf(format.fields);
    return format;
}

// Firebird from ODS 12: a count, the entries, then the default values of
// fields added later (each a field id, an entry and the value's bytes).
RecordFormat countedEntries(const QByteArray &blob)
{
    using disk::CountedFormat;
    const disk::FormatEntryLayout &entry = disk::formatEntry12;
    RecordFormat format;
    format.known = true;
    const auto *bytes = reinterpret_cast<const uint8_t *>(blob.constData());
    const size_t size = size_t(blob.size());
    if (size < CountedFormat::count.size)
        badDescriptor();
    const size_t count = readField(bytes, CountedFormat::count);
    size_t at = CountedFormat::count.size;
    if (count * entry.size > size - at)
        badDescriptor();
    for (size_t i = 0; i < count; ++i, at += entry.size)
        format.fields.push_back(readEntry(bytes + at, entry));
    format.length = lengthOf(format.fields);
    format.defaults.resize(count);
    if (size - at < CountedFormat::count.size)
        return format;
    size_t defaults = readField(bytes + at, CountedFormat::count);
    at += CountedFormat::count.size;
    while (defaults-- > 0) {
        if (size - at < CountedFormat::fieldId.size + entry.size)
            badDescriptor();
        const size_t fieldId = readField(bytes + at, CountedFormat::fieldId);
        FieldDefault value;
        value.layout = readEntry(bytes + at + CountedFormat::fieldId.size, entry);
        at += CountedFormat::fieldId.size + entry.size;
        if (size_t(value.layout.length) > size - at || fieldId >= count)
            badDescriptor();
        value.value = QByteArray(reinterpret_cast<const char *>(bytes + at), value.layout.length);
        at += size_t(value.layout.length);
        format.defaults[fieldId] = std::move(value);
    }
    return format;
}

} // namespace

RecordFormat parseFormatDescriptor(const QByteArray &blob, const SystemCatalogueLayout &catalogue,
                                   bool interbaseTypes)
{
    if (catalogue.formatHasCount)
        return countedEntries(blob);
    RecordFormat format;
    if (catalogue.formatEntry)
        format = bareEntries(blob, *catalogue.formatEntry);
    else if (plausible(blob, disk::formatEntry12))
        format = bareEntries(blob, disk::formatEntry12);
    else if (plausible(blob, disk::formatEntryPadded16))
        format = bareEntries(blob, disk::formatEntryPadded16);
    else
        badDescriptor();
    if (interbaseTypes) {
        for (FieldLayout &field : format.fields)
            if (field.dtype == interbaseBoolean)
                field.dtype = DtBoolean;
        readBooleansAsFirebirds(format);
    }
    return format;
}

void readBooleansAsFirebirds(RecordFormat &format)
{
    for (FieldLayout &field : format.fields)
        if (field.dtype == DtBoolean)
            field.length = 1;
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

int dtypeOfFieldType(int blrType, const OdsVersion &version)
{
    if (version.interbaseTypes && blrType == 17)
        return DtBoolean;
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

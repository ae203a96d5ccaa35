#pragma once

// Reads the fields of one decoded record by field id, as the catalogue needs
// them: numbers, blank-trimmed names, BLOB ids.

#include "page_bytes.h"
#include "record_format.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace ods {

class FieldReader {
public:
    // `formatNumber`: the format the record is stored in.
    FieldReader(const RecordFormat &format, const std::vector<uint8_t> &data, int formatNumber = 0)
        : m_format(format), m_data(data), m_formatNumber(formatNumber)
    {
        if (data.size() < format.length)
            damaged(QStringLiteral("a system table record is shorter than its layout"));
    }

    size_t length() const { return m_data.size(); }
    int formatNumber() const { return m_formatNumber; }

    bool isNull(int id) const
    {
        if (size_t(id) >= m_format.fields.size() || !m_format.fields[size_t(id)].stored())
            return true;
        return (m_data[size_t(id) >> 3] >> (id & 7)) & 1;
    }

    int number(int id, int whenNull = 0) const
    {
        if (isNull(id))
            return whenNull;
        const FieldLayout &field = m_format.fields[size_t(id)];
        const uint8_t *p = m_data.data() + field.offset;
        return field.length == 2 ? int(int16_t(get16(p))) : int(int32_t(get32(p)));
    }

    // Names are blank-padded; UNICODE_FSS and UTF8 are read as UTF-8, and
    // bytes that are not UTF-8 (names typed on a NONE connection) as Latin-1.
    QString name(int id) const
    {
        if (isNull(id))
            return {};
        const FieldLayout &field = m_format.fields[size_t(id)];
        QByteArray bytes(reinterpret_cast<const char *>(m_data.data() + field.offset), field.length);
        while (!bytes.isEmpty() && (bytes.back() == ' ' || bytes.back() == '\0'))
            bytes.chop(1);
        return decodeName(bytes);
    }

    QByteArray blobId(int id) const
    {
        if (isNull(id))
            return {};
        return QByteArray(reinterpret_cast<const char *>(m_data.data() + m_format.fields[size_t(id)].offset), 8);
    }

    static QString decodeName(const QByteArray &bytes);

private:
    const RecordFormat &m_format;
    const std::vector<uint8_t> &m_data;
    int m_formatNumber;
};

} // namespace ods

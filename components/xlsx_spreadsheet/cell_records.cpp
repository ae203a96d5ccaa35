#include "cell_records.h"

#include <cstring>

namespace xlsx {
namespace {

// Every record is a whole number of these, so a text's UTF-16 units that
// follow its head lie on their own alignment.
using Field = qint32;

enum Kind : Field { TextCell, NumberCell, BooleanCell };

struct Head {
    Field kind;
    Field row;
    Field column;
};

template <class T>
void put(char *&at, const T &value)
{
    std::memcpy(at, &value, sizeof value);
    at += sizeof value;
}

template <class T>
T read(const char *&at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

// Room for size more bytes at the end; where they go.
char *grow(QByteArray &bytes, qsizetype size)
{
    const qsizetype start = bytes.size();
    if (bytes.capacity() < start + size)
        bytes.reserve(std::max(2 * bytes.capacity(), start + size));
    bytes.resize(start + size);
    return bytes.data() + start;
}

} // namespace

void CellRecords::text(int row, int column, QStringView text)
{
    const qsizetype units = text.size() + text.size() % 2;
    char *at = grow(m_bytes, qsizetype(sizeof(Head) + sizeof(Field)) + units * 2);
    put(at, Head{TextCell, row, column});
    put(at, Field(text.size()));
    std::memcpy(at, text.utf16(), std::size_t(text.size()) * 2);
}

void CellRecords::number(int row, int column, double value, int style)
{
    char *at = grow(m_bytes, qsizetype(sizeof(Head) + sizeof value + sizeof(Field)));
    put(at, Head{NumberCell, row, column});
    put(at, value);
    put(at, Field(style));
}

void CellRecords::boolean(int row, int column, bool value)
{
    char *at = grow(m_bytes, qsizetype(sizeof(Head) + sizeof(Field)));
    put(at, Head{BooleanCell, row, column});
    put(at, Field(value));
}

QByteArray CellRecords::take()
{
    QByteArray records = std::move(m_bytes);
    m_bytes = QByteArray();
    return records;
}

void CellRecords::replay(const QByteArray &records, SheetRowsXml &rows)
{
    const char *at = records.constData();
    const char *const end = at + records.size();
    while (at < end) {
        const auto head = read<Head>(at);
        switch (head.kind) {
        case TextCell: {
            const auto length = read<Field>(at);
            rows.text(head.row, head.column, QStringView(reinterpret_cast<const char16_t *>(at), length));
            at += (length + length % 2) * 2;
            break;
        }
        case NumberCell: {
            const auto value = read<double>(at);
            rows.number(head.row, head.column, value, read<Field>(at));
            break;
        }
        default:
            rows.boolean(head.row, head.column, read<Field>(at) != 0);
            break;
        }
    }
}

} // namespace xlsx

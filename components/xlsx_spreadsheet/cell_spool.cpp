#include "cell_spool.h"

#include "component_error.h"

#include <QDir>
#include <QFile>
#include <cstring>

namespace xlsx {
namespace {

// Large enough that the file system sees few writes and reads, small
// enough to be nothing beside the table.
constexpr qsizetype blockSize = 1 << 16;

[[noreturn]] void fileFailed(const QFile &file, const QString &action)
{
    throw components::ComponentError(QStringLiteral("The file %1 could not be %2: %3.")
                                         .arg(QDir::toNativeSeparators(file.fileName()), action, file.errorString()));
}

template <class T>
void put(QByteArray &out, T value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

// Reads the spool back in blocks.
class SpoolReader {
public:
    explicit SpoolReader(QFile &in) : m_in(in) {}

    bool atEnd() { return !available(1); }
    template <class T>
    T take()
    {
        T value;
        std::memcpy(&value, bytes(sizeof value), sizeof value);
        return value;
    }
    QByteArray takeBytes(qsizetype size) { return QByteArray(bytes(size), size); }

private:
    bool available(qsizetype size)
    {
        if (m_buffer.size() - m_offset >= size)
            return true;
        m_buffer.remove(0, m_offset);
        m_offset = 0;
        const QByteArray more = m_in.read(std::max(blockSize, size - m_buffer.size()));
        m_buffer += more;
        return m_buffer.size() >= size;
    }
    const char *bytes(qsizetype size)
    {
        if (!available(size))
            fileFailed(m_in, QStringLiteral("read back"));
        const char *start = m_buffer.constData() + m_offset;
        m_offset += size;
        return start;
    }

    QFile &m_in;
    QByteArray m_buffer;
    qsizetype m_offset = 0;
};

} // namespace

CellSpool::CellSpool(QString path) : m_path(std::move(path))
{
    QFile out(m_path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fileFailed(out, QStringLiteral("written"));
}

CellSpool::~CellSpool() { QFile::remove(m_path); }

void CellSpool::appendHead(int row, int column, excel::Cell::Kind kind)
{
    put<qint32>(m_pending, row);
    put<qint32>(m_pending, column);
    put<quint8>(m_pending, quint8(kind));
}

void CellSpool::appendText(int row, int column, const QString &text)
{
    appendHead(row, column, excel::Cell::Text);
    const QByteArray utf8 = text.toUtf8();
    put<quint32>(m_pending, quint32(utf8.size()));
    m_pending += utf8;
    if (m_pending.size() >= blockSize)
        flush();
}

void CellSpool::appendValue(int row, int column, excel::Cell::Kind kind, double number, int format)
{
    appendHead(row, column, kind);
    put<double>(m_pending, number);
    put<qint32>(m_pending, format);
    if (m_pending.size() >= blockSize)
        flush();
}

// Opened for each block only: a workbook of thousands of sheets would
// otherwise hold a file open for each.
void CellSpool::flush()
{
    if (m_pending.isEmpty())
        return;
    QFile out(m_path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)
        || out.write(m_pending) != m_pending.size())
        fileFailed(out, QStringLiteral("written"));
    m_pending.clear();
}

void CellSpool::replay(const std::function<void(const Cell &)> &take)
{
    flush();
    QFile in(m_path);
    if (!in.open(QIODevice::ReadOnly))
        fileFailed(in, QStringLiteral("read back"));
    SpoolReader reader(in);
    Cell cell;
    while (!reader.atEnd()) {
        cell.row = reader.take<qint32>();
        cell.column = reader.take<qint32>();
        cell.kind = excel::Cell::Kind(reader.take<quint8>());
        if (cell.kind == excel::Cell::Text) {
            cell.text = reader.takeBytes(reader.take<quint32>());
        } else {
            cell.number = reader.take<double>();
            cell.format = reader.take<qint32>();
        }
        take(cell);
    }
}

} // namespace xlsx

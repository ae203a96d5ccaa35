#include "sheet_rows_xml.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace xlsx {
namespace {

// The height the library gives a row that states none.
constexpr double libraryRowPoints = 15;

// The longest number printf writes with %.16G: "-1.234567890123457E-308".
constexpr qsizetype numberBytes = 24;
constexpr qsizetype integerBytes = 20;
// The most bytes one byte of a text becomes: a control character, _x001F_.
constexpr qsizetype escapedBytes = 7;

// Writes into the end of a byte array through a pointer: for a cell, one
// append instead of a dozen.
class Appender {
public:
    // At most `most` bytes are put.
    Appender(QByteArray &out, qsizetype most) : m_out(out)
    {
        const qsizetype start = out.size();
        if (out.capacity() < start + most)
            out.reserve(std::max(2 * out.capacity(), start + most));
        out.resize(start + most);
        m_at = out.data() + start;
    }
    ~Appender() { m_out.resize(m_at - m_out.constData()); }
    Appender(const Appender &) = delete;
    Appender &operator=(const Appender &) = delete;

    template <std::size_t N>
    void put(const char (&literal)[N])
    {
        std::memcpy(m_at, literal, N - 1);
        m_at += N - 1;
    }
    void put(char c) { *m_at++ = c; }
    void put(const QByteArray &bytes)
    {
        std::memcpy(m_at, bytes.constData(), std::size_t(bytes.size()));
        m_at += bytes.size();
    }
    void integer(long long value) { m_at = std::to_chars(m_at, m_at + integerBytes, value).ptr; }
    void number(double value);

private:
    QByteArray &m_out;
    char *m_at = nullptr;
};

void Appender::number(double value)
{
    // Most numbers of a table are whole: printf gives them as their digits.
    if (std::fabs(value) < 1e15 && value == std::trunc(value) && !(value == 0 && std::signbit(value))) {
        integer(static_cast<long long>(value));
        return;
    }
    char *end = std::to_chars(m_at, m_at + numberBytes, value, std::chars_format::general, 16).ptr;
    // printf's %G: E, INF, NAN.
    for (; m_at != end; ++m_at) {
        if (*m_at >= 'a' && *m_at <= 'z')
            *m_at = char(*m_at - 'a' + 'A');
    }
}

// The library keeps a text as C does: XML's own characters become entities,
// control characters other than tab and line feed _xHHHH_ (Excel's escape).
bool isEscapedControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n'; }

bool isEntity(unsigned char c) { return c == '&' || c == '<' || c == '>'; }

// The first and the last byte of a character as escaped: the library keeps
// blanks at either end of the escaped text with xml:space.
unsigned char escapedFirst(unsigned char c) { return isEntity(c) ? '&' : isEscapedControl(c) ? '_' : c; }

unsigned char escapedLast(unsigned char c) { return isEntity(c) ? ';' : isEscapedControl(c) ? '_' : c; }

// Units are bytes of UTF-8, or UTF-16 units of a text that is all ASCII.
template <class Unit>
void putTextValue(Appender &out, const Unit *units, qsizetype size)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const bool preserve = std::isspace(escapedFirst(static_cast<unsigned char>(units[0])))
        || std::isspace(escapedLast(static_cast<unsigned char>(units[size - 1])));
    if (preserve)
        out.put("\" t=\"inlineStr\"><is><t xml:space=\"preserve\">");
    else
        out.put("\" t=\"inlineStr\"><is><t>");
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(units[i]);
        if (c == '&') {
            out.put("&amp;");
        } else if (c == '<') {
            out.put("&lt;");
        } else if (c == '>') {
            out.put("&gt;");
        } else if (isEscapedControl(c)) {
            out.put("_x00");
            out.put(hex[c >> 4]);
            out.put(hex[c & 15]);
            out.put('_');
        } else {
            out.put(char(c));
        }
    }
    out.put("</t></is></c>");
}

// Around a cell's value: its start with the reference, and its end.
constexpr qsizetype cellBytes = 96;

void putReference(Appender &out, const QByteArray &column, int row)
{
    out.put("<c r=\"");
    out.put(column);
    out.integer(row);
}

// A number as the library writes it into a cell ("%.16G").
void appendNumber(QByteArray &out, double value) { Appender(out, numberBytes).number(value); }

} // namespace

SheetRowsXml::SheetRowsXml(double rowPoints)
{
    if (rowPoints == libraryRowPoints) {
        m_rowTagEnd = "\">";
    } else {
        m_rowTagEnd = "\" ht=\"";
        appendNumber(m_rowTagEnd, rowPoints);
        m_rowTagEnd += "\" customHeight=\"1\">";
    }
}

const QByteArray &SheetRowsXml::columnName(int column)
{
    if (std::size_t(column) >= m_columnNames.size())
        m_columnNames.resize(std::size_t(column) + 1);
    QByteArray &name = m_columnNames[std::size_t(column)];
    if (name.isEmpty()) {
        for (int n = column; n > 0; n = (n - 1) / 26)
            name.prepend(char('A' + (n - 1) % 26));
    }
    return name;
}

void SheetRowsXml::startCell(int row, int column)
{
    if (row != m_currentRow) {
        endRow();
        m_currentRow = row;
    }
    if (m_lastRow == 0) {
        m_firstRow = row;
        m_firstColumn = m_lastColumn = column;
    }
    m_lastRow = row;
    m_firstColumn = std::min(m_firstColumn, column);
    m_lastColumn = std::max(m_lastColumn, column);
    m_pieces.push_back({column, m_row.size(), 0});
}

void SheetRowsXml::text(int row, int column, QStringView text)
{
    // The library takes C strings: a text ends at its first NUL, and one
    // that starts with it is no cell at all.
    const char16_t *units = text.utf16();
    qsizetype size = text.size();
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i) {
        if (units[i] == 0)
            size = i;
        else
            ascii = units[i] < 0x80;
    }
    if (ascii) {
        if (size == 0)
            return;
        startCell(row, column);
        Appender out(m_row, cellBytes + escapedBytes * size);
        putReference(out, columnName(column), row);
        putTextValue(out, units, size);
    } else {
        const QByteArray utf8 = text.toUtf8();
        const qsizetype length = qstrnlen(utf8.constData(), utf8.size());
        if (length == 0)
            return;
        startCell(row, column);
        Appender out(m_row, cellBytes + escapedBytes * length);
        putReference(out, columnName(column), row);
        putTextValue(out, utf8.constData(), length);
    }
    endCell();
}

void SheetRowsXml::number(int row, int column, double value, int style)
{
    startCell(row, column);
    {
        Appender out(m_row, cellBytes + integerBytes + numberBytes);
        putReference(out, columnName(column), row);
        if (style != 0) {
            out.put("\" s=\"");
            out.integer(style);
        }
        out.put("\"><v>");
        out.number(value);
        out.put("</v></c>");
    }
    endCell();
}

void SheetRowsXml::boolean(int row, int column, bool value)
{
    startCell(row, column);
    {
        Appender out(m_row, cellBytes);
        putReference(out, columnName(column), row);
        out.put("\" t=\"b\"><v>");
        out.put(value ? '1' : '0');
        out.put("</v></c>");
    }
    endCell();
}

void SheetRowsXml::endRow()
{
    if (m_pieces.empty())
        return;
    {
        Appender out(m_ended, cellBytes + m_rowTagEnd.size());
        out.put("<row r=\"");
        out.integer(m_currentRow);
        out.put(m_rowTagEnd);
    }
    const bool inOrder = std::adjacent_find(m_pieces.begin(), m_pieces.end(), [](const Piece &a, const Piece &b) {
                             return b.column <= a.column;
                         }) == m_pieces.end();
    if (inOrder) {
        m_ended += m_row;
    } else {
        // Cells in column order, the last written where one was written twice.
        std::stable_sort(m_pieces.begin(), m_pieces.end(), [](const Piece &a, const Piece &b) { return a.column < b.column; });
        for (std::size_t i = 0; i < m_pieces.size(); ++i) {
            if (i + 1 < m_pieces.size() && m_pieces[i + 1].column == m_pieces[i].column)
                continue;
            m_ended.append(m_row.constData() + m_pieces[i].begin, m_pieces[i].end - m_pieces[i].begin);
        }
    }
    m_ended += "</row>";
    m_row.resize(0);
    m_pieces.clear();
    m_currentRow = 0;
}

QByteArray SheetRowsXml::takeEnded()
{
    QByteArray ended = std::move(m_ended);
    m_ended = QByteArray();
    return ended;
}

} // namespace xlsx

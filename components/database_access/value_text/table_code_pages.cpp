#include "table_code_pages.h"

#include "code_page_detection.h"

namespace dbaccess {

namespace {

// Enough for a firm verdict on every page tried; more only costs reading.
constexpr qsizetype sampleBytes = 4096;

} // namespace

CodePageSample::CodePageSample(int columns) : m_bytes(std::size_t(columns)), m_wanting(columns) {}

bool CodePageSample::wants(int column) const
{
    return m_bytes[std::size_t(column)].size() < sampleBytes;
}

void CodePageSample::add(int column, QByteArrayView bytes)
{
    if (!wants(column) || isAscii(bytes) || isUtf8(bytes))
        return;
    QByteArray &sample = m_bytes[std::size_t(column)];
    QByteArrayView taken = bytes.first(std::min(bytes.size(), sampleBytes - sample.size()));
    // A value cut short is cut after a byte below 0x40 (digits, blanks,
    // punctuation), which no multi-byte code page uses inside a character:
    // a cut character would make the right page fail the sample.
    if (taken.size() < bytes.size()) {
        qsizetype end = taken.size();
        while (end > 0 && static_cast<unsigned char>(taken[end - 1]) >= 0x40)
            --end;
        if (end > 0)
            taken = taken.first(end);
    }
    sample.append(taken);
    sample.append('\n');
    if (!wants(column))
        --m_wanting;
}

TableCodePages::TableCodePages(int columns, ReadSample read, QByteArray fallback)
    : m_columns(columns), m_read(std::move(read)), m_fallback(std::move(fallback))
{
}

const CodePage &TableCodePages::codePage(int column)
{
    if (m_pages.empty())
        decide();
    return *m_pages[std::size_t(column)];
}

void TableCodePages::decide()
{
    CodePageSample sample(m_columns);
    m_read(sample);
    // A column of a few short words cannot tell on its own; the table's other
    // columns were most likely typed by the same program.
    QByteArray whole;
    for (int column = 0; column < m_columns; ++column)
        whole += sample.bytes(column);
    const QByteArray table = detectedCodePage(whole);
    for (int column = 0; column < m_columns; ++column) {
        QByteArray name = detectedCodePage(sample.bytes(column));
        if (name.isEmpty())
            name = table.isEmpty() ? m_fallback : table;
        m_pages.push_back(std::make_unique<CodePage>(name));
    }
}

} // namespace dbaccess

#include "table_code_pages.h"

#include "code_page_detection.h"

#include <algorithm>

namespace dbaccess {

namespace {

// Enough for a firm verdict on every page tried; more only costs reading.
constexpr qsizetype sampleBytes = 4096;

// True when the bytes of 0x80 and above come in runs of even length, as
// the characters of the EUC pages, GBK and Big5 do; a single-byte page's
// text seldom does (an accented letter between plain ones).
bool highBytesInPairs(QByteArrayView bytes)
{
    qsizetype run = 0;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ++run;
        } else if (run % 2) {
            return false;
        } else {
            run = 0;
        }
    }
    return run % 2 == 0;
}

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

TableCodePages::TableCodePages(int columns, ReadSample read, Fallback fallback)
    : m_columns(columns), m_read(std::move(read)), m_fallback(std::move(fallback))
{
}

TableCodePages::~TableCodePages() = default;

bool TableCodePages::decode(int column, QByteArrayView bytes, QString &text)
{
    if (m_names.empty())
        decide();
    const QByteArray &name = m_names[std::size_t(column)];
    Told &told = m_told[std::size_t(column)];
    // Telling a value costs far more than decoding it: only a value that
    // may be in a multi-byte page is told, and none once a column's first
    // values told the same as the column.
    const bool tell = !told.settled() && highBytesInPairs(bytes);
    const QByteArray own = tell ? toldCodePage(bytes) : QByteArray();
    if (!own.isEmpty())
        ++told.values;
    if (own != name && isMultiByteCodePage(own) && page(own).decode(bytes, text)) {
        ++told.pages[own];
        return true;
    }
    for (const QByteArray &other : told.otherLanguages())
        if (page(other).decode(bytes, text))
            return true;
    return page(name).decode(bytes, text);
}

bool TableCodePages::Told::settled() const
{
    return pages.empty() && values >= 200;
}

QByteArrayList TableCodePages::Told::otherLanguages() const
{
    // A page a value or two, or a few in a hundred, tell is the detector's
    // slip on short text, not another language.
    std::vector<std::pair<int, QByteArray>> byCount;
    for (const auto &[name, count] : pages)
        if (count >= 2 && count * 10 >= values)
            byCount.emplace_back(-count, name);
    std::sort(byCount.begin(), byCount.end());
    QByteArrayList names;
    for (const auto &each : byCount)
        names << each.second;
    return names;
}

const CodePage &TableCodePages::page(const QByteArray &name)
{
    std::unique_ptr<CodePage> &page = m_pages[name];
    if (!page)
        page = std::make_unique<CodePage>(name);
    return *page;
}

void TableCodePages::decide()
{
    CodePageSample sample(m_columns);
    m_read(sample);
    // A column of a few short words cannot tell on its own; the table's other
    // columns were most likely typed by the same program, and failing those,
    // the file's other tables.
    QByteArray whole;
    for (int column = 0; column < m_columns; ++column)
        whole += sample.bytes(column);
    QByteArray table = detectedCodePage(whole);
    m_told.resize(std::size_t(m_columns));
    for (int column = 0; column < m_columns; ++column) {
        QByteArray name = detectedCodePage(sample.bytes(column));
        if (name.isEmpty() && table.isEmpty())
            table = m_fallback();
        m_names.push_back(name.isEmpty() ? table : name);
    }
}

} // namespace dbaccess

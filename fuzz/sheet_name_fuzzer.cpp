// Worksheet names made from table names: CleanSheetName's promise (a name
// every worksheet can hold, at most 30 characters, no character cut in half,
// names that need no cleaning kept), numbered candidates that stay distinct
// and survive cleaning whole, and the refusal rules on any name.

#include "excel1.h"
#include "fuzz_input.h"

namespace {

// Numbers as the export makes them (1 and up), small ones most often, so
// that numbers of different lengths meet on one base.
int numberFrom(const std::uint8_t *bytes)
{
    static constexpr int limits[] = {9, 99, 999, 99999, 2147483646};
    const std::uint32_t raw = bytes[1] | (bytes[2] << 8) | (bytes[3] << 16) | (std::uint32_t(bytes[4]) << 24);
    return 1 + int(raw % std::uint32_t(limits[bytes[0] % 5]));
}

// Characters a worksheet name cannot hold, or an apostrophe that a cut may
// leave at an end.
bool needsCleaning(const QString &text)
{
    for (const QChar c : text) {
        if (excel::isForbiddenInSheetName(c) || c == excel::sheetNameEdgeForbidden)
            return true;
    }
    return text.isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 10)
        return 0;
    const int n1 = numberFrom(data);
    const int n2 = numberFrom(data + 5);
    const QStringList parts = fuzz::entries(fuzz::utf16(data + 10, size - 10), 2);
    const QString &name = parts[0];

    const QString cleaned = Excel1::CleanSheetName(name);
    if (!excel::sheetNameRefusal(cleaned, {}).isEmpty() || cleaned.size() > 30)
        fuzz::fail("CleanSheetName gave a name a worksheet cannot hold", name, cleaned);
    if (fuzz::isValidUtf16(name) && !fuzz::isValidUtf16(cleaned))
        fuzz::fail("CleanSheetName cut a character in half", name, cleaned);
    // A name of half a character alone leaves nothing but the fixed word.
    if (!needsCleaning(name) && cleaned != Excel1::unnamedSheetWord
        && (!name.startsWith(cleaned) || cleaned.size() < qMin<qsizetype>(name.size(), 30) - 1))
        fuzz::fail("CleanSheetName changed a name that needed no cleaning beyond the tail", name, cleaned);

    const QString first = Excel1::numberedCandidate(cleaned, n1);
    const QString second = Excel1::numberedCandidate(cleaned, n2);
    for (const auto &[candidate, n] : {std::pair{first, n1}, std::pair{second, n2}}) {
        if (candidate.size() > 30 || Excel1::CleanSheetName(candidate) != candidate)
            fuzz::fail("a numbered candidate does not survive cleaning whole", name, candidate);
        if (!candidate.endsWith(QString::number(n)))
            fuzz::fail("a numbered candidate lost its number", name, candidate);
        if (fuzz::isValidUtf16(name) && !fuzz::isValidUtf16(candidate))
            fuzz::fail("a numbered candidate cut a character in half", name, candidate);
    }
    if (n1 != n2 && first == second)
        fuzz::fail("two numbers gave one worksheet name", name, first + u' ' + QString::number(n1) + u'/' + QString::number(n2));

    const QStringList others = parts.mid(1);
    for (const QString &candidate : {name, cleaned}) {
        const QString refusal = excel::sheetNameRefusal(candidate, others);
        if (refusal.isEmpty() && (candidate.isEmpty() || candidate.size() > excel::sheetNameLengthLimit))
            fuzz::fail("an empty or over-long name was accepted", candidate);
        if (!candidate.isEmpty() && excel::sheetNameRefusal(candidate, {candidate.toUpper()}).isEmpty()
            && candidate.compare(candidate.toUpper(), Qt::CaseInsensitive) == 0)
            fuzz::fail("a name taken in another case was accepted", candidate);
    }
    return 0;
}

#include "excel1.h"

namespace Excel1 {

namespace {

// A high surrogate at the end has lost its other half (to a cut here or
// before): it is not a character a sheet name can hold.
QString leftWhole(const QString &text, qsizetype n)
{
    QString kept = text.left(n);
    if (!kept.isEmpty() && kept.back().isHighSurrogate())
        kept.chop(1);
    return kept;
}

bool endsWithDigit(const QString &text)
{
    return !text.isEmpty() && text.back() >= u'0' && text.back() <= u'9';
}

} // namespace

QString CleanSheetName(const QString &name)
{
    QString cleaned;
    cleaned.reserve(name.size());
    for (const QChar c : name) {
        if (c == u'[' || c == u']')
            continue;
        // Separators become "_", so "SALES/2021" keeps its two parts apart.
        cleaned += excel::isForbiddenInSheetName(c) ? QChar(u'_') : c;
    }
    // The cut can leave a forbidden apostrophe at the end, so trim after it.
    cleaned = leftWhole(cleaned, cleanSheetNameLength);
    while (cleaned.startsWith(excel::sheetNameEdgeForbidden))
        cleaned.remove(0, 1);
    while (cleaned.endsWith(excel::sheetNameEdgeForbidden))
        cleaned.chop(1);
    return cleaned.isEmpty() ? unnamedSheetWord : cleaned;
}

QString numberedCandidate(const QString &base, int n)
{
    const QString number = QString::number(n);
    QString kept = leftWhole(base, cleanSheetNameLength - number.size());
    // At the limit, a digit just before the number reads as part of it and
    // two numbers share a name: a 29-character base "...1" gives "...11"
    // with 1, as its cut "..." does with 11. A "_" keeps the number apart.
    // Shorter names keep the whole base, so their numbers tell them apart.
    if (base.size() + number.size() >= cleanSheetNameLength && endsWithDigit(kept))
        kept = leftWhole(base, cleanSheetNameLength - 1 - number.size()) + u'_';
    return kept + number;
}

} // namespace Excel1

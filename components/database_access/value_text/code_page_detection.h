#pragma once

// Which legacy code page text bytes are in, for columns that declare no
// character set. Pure, no Firebird.

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>

namespace dbaccess {

// The code page (an iconv name) that uchardet reads in a sample of a
// column's values; empty when the sample holds too few non-ASCII bytes to
// tell (on a handful the detector names Arabic or Hebrew pages for Russian
// words), or when the page it names does not decode the whole sample.
QByteArray detectedCodePage(QByteArrayView sample);
// The same without the check that the page decodes the sample, for callers
// that decode with it anyway.
QByteArray toldCodePage(QByteArrayView sample);

// True for the pages of Chinese, Japanese and Korean, whose characters take
// more than one byte: text in them is told from text in a single-byte page
// on far fewer bytes than one single-byte page from another.
bool isMultiByteCodePage(const QByteArray &name);

// The ANSI code page Windows uses for the locale's language: what a Windows
// program of the user's own language most likely wrote.
QByteArray windowsCodePage(const QLocale &locale);

} // namespace dbaccess

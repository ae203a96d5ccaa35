#pragma once

// The one table of what the reader and its users need to know of Firebird's
// character sets, by Firebird's number, and how InterBase's numbers map onto
// Firebird's.

namespace ods {

// The most bytes one character takes (RDB$CHARACTER_SETS.RDB$BYTES_PER_CHARACTER).
constexpr int bytesPerCharacter(int firebirdCharset)
{
    switch (firebirdCharset) {
    case 3: return 3;    // UNICODE_FSS
    case 4:              // UTF8
    case 69: return 4;   // GB18030
    case 5:              // SJIS_0208
    case 6:              // EUCJ_0208
    case 44:             // KSC_5601
    case 56:             // BIG_5
    case 57:             // GB_2312
    case 67:             // GBK
    case 68: return 2;   // CP943C
    default: return 1;
    }
}

// The Firebird number of an InterBase character set (InterBase numbered
// UTF8 and KOI8R differently); NONE (0) for those Firebird lacks
// (UNICODE_BE, UNICODE_LE, ISO8859_15, BASE64): their bytes read as NONE.
constexpr int firebirdCharsetOfInterBase(int interbaseCharset)
{
    switch (interbaseCharset) {
    case 59: return 4;     // UTF8
    case 58: return 63;    // KOI8R
    case 8:                // UNICODE_BE
    case 39:               // ISO8859_15 (Firebird's 39 is ISO8859_9)
    case 64:               // UNICODE_LE (Firebird's 64 is KOI8U)
    case 126: return 0;    // BASE64
    default: return interbaseCharset;
    }
}

} // namespace ods

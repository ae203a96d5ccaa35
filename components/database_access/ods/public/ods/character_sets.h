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

// The iconv name of a Firebird character set; empty when none fits or the
// set needs no conversion of its own (NONE, OCTETS, ASCII, UTF-8).
constexpr const char *iconvName(int firebirdCharset)
{
    switch (firebirdCharset) {
    case 5: return "SHIFT_JIS";
    case 6: return "EUC-JP";
    case 9: return "CP737";
    case 10: return "CP437";
    case 11: return "CP850";
    case 12: return "CP865";
    case 13: return "CP860";
    case 14: return "CP863";
    case 15: return "CP775";
    case 16: return "CP858";
    case 17: return "CP862";
    case 18: return "CP864";
    case 21: return "ISO-8859-1";
    case 22: return "ISO-8859-2";
    case 23: return "ISO-8859-3";
    case 34: return "ISO-8859-4";
    case 35: return "ISO-8859-5";
    case 36: return "ISO-8859-6";
    case 37: return "ISO-8859-7";
    case 38: return "ISO-8859-8";
    case 39: return "ISO-8859-9";
    case 40: return "ISO-8859-13";
    case 44: return "CP949";
    case 45: return "CP852";
    case 46: return "CP857";
    case 47: return "CP861";
    case 48: return "CP866";
    case 49: return "CP869";
    case 51: return "CP1250";
    case 52: return "CP1251";
    case 53: return "CP1252";
    case 54: return "CP1253";
    case 55: return "CP1254";
    case 56: return "BIG5";
    case 57: return "GB2312";
    case 58: return "CP1255";
    case 59: return "CP1256";
    case 60: return "CP1257";
    case 63: return "KOI8-R";
    case 64: return "KOI8-U";
    case 65: return "CP1258";
    case 66: return "TIS-620";
    case 67: return "GBK";
    case 68: return "CP932";
    case 69: return "GB18030";
    default: return "";
    }
}

} // namespace ods

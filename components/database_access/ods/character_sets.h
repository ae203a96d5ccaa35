#pragma once

// Facts about Firebird's character sets that the reader and its users need,
// by Firebird's character set number, and how InterBase's numbers map onto
// them.

namespace ods {

// The most bytes one character takes (RDB$CHARACTER_SETS.RDB$BYTES_PER_CHARACTER).
int bytesPerCharacter(int firebirdCharset);

// The Firebird number of an InterBase character set (InterBase numbered
// UTF8 and KOI8R differently); NONE (0) for those Firebird lacks
// (UNICODE_BE, UNICODE_LE, ISO8859_15, BASE64): their bytes read as NONE.
int firebirdCharsetOfInterBase(int interbaseCharset);

} // namespace ods

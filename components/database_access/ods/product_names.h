#pragma once

// Which release made a file, from the ODS word of its header page (the major
// version, with Firebird's 0x8000 flag from Firebird 2.0 on) and its minor
// version, for the messages that refuse a file. InterBase and Firebird share
// the numbers up to ODS 10 and go separate ways after it.

#include <QString>
#include <cstdint>

namespace ods {

// "InterBase 5.x (on-disk structure 9.1)": what a message says made a file.
QString madeBy(uint16_t odsWord, int minor);

} // namespace ods

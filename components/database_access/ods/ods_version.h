#pragma once

// Which product made a file, from the ODS word of its header page (the major
// version, with Firebird's 0x8000 flag from Firebird 2.0 on) and its minor
// version, for the messages that refuse a file. InterBase and Firebird share
// the numbers up to ODS 10 and go separate ways after it.

#include <QString>
#include <cstdint>
#include <vector>

namespace ods {

struct OdsVersion {
    uint16_t word = 0;    // as stored: major, maybe with Firebird's flag
    int minor = 0;

    int major() const { return word & 0x7FFF; }
    bool firebirdFlag() const { return (word & 0x8000) != 0; }
};

// Where the header keeps the minor version depends on the lineage and the
// major version; reads it from the first bytes of a file (at least 96).
OdsVersion odsVersionOf(const std::vector<uint8_t> &start);

// "InterBase 5.x", "Firebird 2.5", "Firebird 1.0 or InterBase 6": the release
// or range of releases that writes this version.
QString productName(const OdsVersion &version);

// "InterBase 5.x (on-disk structure 9.1)": what a message says made a file.
QString madeBy(const OdsVersion &version);

} // namespace ods

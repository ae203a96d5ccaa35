#pragma once

// What the reader hands out about a file: what its header page says, its
// relations and their columns as the catalogue defines them, and their
// rows.

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace ods {

// What the header page alone says about a file.
struct FileFacts {
    bool firebird = true;   // false: an InterBase file (ODS 11 and later without Firebird's flag)
    int odsMajor = 0;
    int odsMinor = 0;
    unsigned pageSize = 0;
    int dialect = 3;        // 1 or 3
    // When the database was created, as stored: a database written to keeps
    // it, another database put in its place brings its own.
    uint64_t created = 0;
    // The database goes on in a file its header page names: it was made
    // in several files.
    bool continued = false;
};

// One file of a database kept in several: the primary file holds the pages
// from 0, each continuation the pages after the previous one's last, behind
// a header page of its own.
struct DatabaseFile {
    QString storedName;        // as the header page before it names it; empty for the primary
    QString path;              // where it was found; empty: nowhere
    uint32_t firstPage = 0;
    uint32_t lastPage = 0;     // the last file: the highest page number there is
};

// One column of a relation as the database defines it, in SELECT * order.
// dtype is Firebird's internal data type number (1 text, 3 varying, 8 short,
// 9 long, 10 quad, 11 real, 12 double, 14 sql date, 15 sql time, 16
// timestamp, 17 blob, 18 array, 19 int64, 21 boolean, 22 dec64, 23 dec128,
// 24 int128, 25 time tz, 26 timestamp tz; a dialect-1 DATE is 16).
struct Column {
    QString name;              // trailing blanks trimmed
    int fieldId = 0;           // RDB$FIELD_ID: the column's slot in record formats
    int dtype = 0;
    int length = 0;            // bytes of the value as the engine holds it in memory (VARCHAR: with its 2-byte length)
    int scale = 0;             // NUMERIC/DECIMAL: negative
    int subType = 0;           // BLOB sub-type; NUMERIC 1 / DECIMAL 2 for integers
    int charset = 0;           // Firebird character set number (text and text BLOBs)
    int collation = 0;
    int characterLength = 0;   // declared characters of CHAR/VARCHAR, 0 if unknown
    int segmentLength = 0;     // BLOB segment length, as declared
    int dimensions = 0;        // arrays: number of dimensions (0: not an array)
    QString computedSource;    // COMPUTED BY (...) text; non-empty: not stored
    QString domain;            // RDB$FIELD_SOURCE
    bool notNull = false;
    bool encrypted = false;    // InterBase column encryption (RDB$RELATION_FIELDS.RDB$ENCRYPTION_ID set)
};

struct Relation {
    int id = 0;
    QString name;              // trailing blanks trimmed
    bool system = false;       // RDB$SYSTEM_FLAG non-zero
    bool view = false;         // has view BLR: no stored rows
    QString viewSource;        // RDB$VIEW_SOURCE, may be empty even for a view
    int format = 0;            // current format number (RDB$FORMAT)
    std::vector<Column> columns;
};

// What the rows of a relation in a damaged file could not give. A record
// whose own line, older version or continuation is damaged is counted; a
// page lost whole keeps no count of its own, only an index of the relation
// may still tell it.
struct ReadLosses {
    long long records = 0;            // records (or lines that held one) that could not be read
    std::set<uint32_t> recordPages;   // the damaged pages those lay on
    std::set<uint32_t> lostPages;     // data pages lost whole, their records not among `records`
    std::optional<long long> lostPageRecords;   // the records those held, when an index tells
    // Damaged pointer pages: the relation's data pages were found by
    // looking at every page of the file instead.
    std::set<uint32_t> searchedPointerPages;
    // The catalogue lists only some of the relation's pointer pages: the
    // data pages of the rest were searched for.
    bool unlistedPointerPages = false;

    bool any() const
    {
        return records > 0 || !lostPages.empty() || !searchedPointerPages.empty() || unlistedPointerPages;
    }
};

// The newest committed version of every record of one relation, in storage
// order, in the relation's current format. Only the current row is held. In
// a damaged file the records that can be read are given, and losses() says
// what could not be.
class Rows {
public:
    virtual ~Rows() = default;
    // Makes the next record current; false when there is none.
    virtual bool next() = 0;
    virtual bool isNull(int column) const = 0;
    // The value in the engine's in-memory layout for the column's dtype
    // (the layout of the Firebird client's message buffers): CHAR its
    // length in bytes, VARCHAR a 2-byte length then the bytes, numbers,
    // dates and times little-endian, BLOBs and arrays their 8-byte id.
    // Computed columns read as null here.
    virtual QByteArrayView value(int column) const = 0;
    // What has been passed over so far, as damage; complete once next()
    // returned false.
    virtual ReadLosses losses() const { return {}; }
};

} // namespace ods

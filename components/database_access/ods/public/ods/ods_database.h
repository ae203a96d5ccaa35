#pragma once

// A read-only reader of Firebird's and InterBase's on-disk structure, for
// files the Firebird 3 engine cannot open (ODS 8 to 11 and 13, and
// InterBase's from 2009 on: ODS 13 to 19) and for the files it would write
// into by merely attaching them (ODS 12). on_disk_format.h writes the
// structures down; ods_version.cpp says which layout each version uses. The file is
// opened for reading only and never locked; nothing is ever written to it.
//
// Every failure is a components::ComponentError whose text says what was
// found and what the user can do. Rows of different relations may be read
// on different threads at once; one Rows object belongs to one thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <vector>

namespace ods {

// What the header page alone says about a file.
struct FileFacts {
    bool firebird = true;   // false: an InterBase file (ODS 11 and later without Firebird's flag)
    int odsMajor = 0;
    int odsMinor = 0;
    unsigned pageSize = 0;
    int dialect = 3;        // 1 or 3
};

// Reads the header page. Throws when the file is no database at all, or a
// database this reader cannot read (InterBase 7 and 2007, ODS below 8 or
// newer than it knows, encrypted, damaged header), with a message that
// names the release that made it.
FileFacts probe(const QString &path);

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

// The newest committed version of every record of one relation, in storage
// order, in the relation's current format. Only the current row is held.
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
};

class Database {
public:
    virtual ~Database() = default;

    // Opens the file read-only and reads its catalogue.
    static std::unique_ptr<Database> open(const QString &path);

    virtual const FileFacts &facts() const = 0;
    // The data type (dtype) of a catalogue's RDB$FIELD_TYPE in this file:
    // InterBase from ODS 13 numbers BOOLEAN differently from Firebird.
    virtual int dtypeOfFieldType(int fieldType) const = 0;
    // Firebird's number of the character set a catalogue stores as this
    // number (InterBase from ODS 13 numbers some sets differently).
    virtual int firebirdCharset(int storedCharset) const = 0;
    // Every relation, system relations included, in RDB$RELATIONS order.
    virtual const std::vector<Relation> &relations() const = 0;
    virtual std::unique_ptr<Rows> rows(const Relation &relation) const = 0;
    // The number of records rows() yields, without decoding them.
    virtual long long count(const Relation &relation) const = 0;
    // The whole content of a BLOB (segments joined) by the 8-byte id a
    // row holds for a BLOB column of the relation. For an array column it
    // is the array as stored: Firebird's array description (its length in
    // bytes 6-7), then the elements in their in-memory layout.
    virtual QByteArray blob(const Relation &relation, QByteArrayView blobId) const = 0;
};

} // namespace ods

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

#include "file_contents.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace ods {

// Reads the header page. Throws when the file is no database at all, or a
// database this reader cannot read (InterBase 7 and 2007, ODS below 8 or
// newer than it knows, encrypted, damaged header), with a message that
// names the release that made it.
FileFacts probe(const QString &path);

// Makes the header page of a database kept in several files (`headerPage`,
// the primary file's whole first page) that of a copy holding every page in
// one file: it names no next file. Throws when it is no header page, or its
// entries run past its end.
void withoutNextFile(QByteArray &headerPage);

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

    // The files the database is kept in, the primary first. Only the last
    // can be missing: the files after it are named in it. Reading a page
    // that lies in it fails with a description that names it.
    virtual const std::vector<DatabaseFile> &files() const = 0;
    // Whether `page` belongs in a file at hand that ends before it (a file
    // cut short), or lies past every file.
    virtual bool beyondEnd(uint32_t page) const = 0;
};

} // namespace ods

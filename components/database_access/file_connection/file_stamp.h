#pragma once

#include <QByteArray>
#include <QString>

namespace dbaccess {

// One state of a file another program may be writing: a Firebird engine
// rewrites the header page for every transaction it starts, and any write
// moves the modification time. Two equal stamps taken around a read mean
// the read saw one unchanging file.
struct FileStamp {
    qint64 size = 0;
    qint64 modifiedNs = 0;
    QByteArray header;

    bool operator==(const FileStamp &) const = default;
};

// Reads the stamp without locking the file; throws when it cannot be read.
FileStamp stampOf(const QString &path);

} // namespace dbaccess

#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

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

// A file opened once for reading and looked at again through the same
// descriptor, so that checking it for changes opens nothing.
class StampedFile {
public:
    // Throws the text for a file that cannot be opened.
    explicit StampedFile(const QString &path);
    ~StampedFile();
    StampedFile(const StampedFile &) = delete;
    StampedFile &operator=(const StampedFile &) = delete;

    const QString &path() const { return m_path; }
    int descriptor() const { return m_descriptor; }
    // Reads the stamp without locking the file; throws when it cannot be read.
    FileStamp stamp() const;
    // False once the path names another file or none.
    bool stillAtPath() const;

private:
    QString m_path;
    int m_descriptor = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

} // namespace dbaccess

#pragma once

// The user's local database file, read and never written, and the copies of
// it the program keeps in its cache folder.

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace dbaccess {

// One version of a file: a copy made of it serves until any of these change.
struct FileVersion {
    QString path;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    QByteArray headerDigest;

    // The same for every version of one path; then what tells versions apart.
    QString pathKey() const;
    QString versionKey() const;
};

// What to do with a file a Firebird engine holds open: refuse it (when a
// connection opens), or read it all the same (once open, where every read
// is checked to have seen one unchanging file).
enum class HeldFile { Refuse, Read };

// Opens the file for reading only and reads its first page. Throws
// components::ComponentError with the component's usual texts for a missing
// file, a folder, a file the user may not read, a file a Firebird engine
// holds open (unless told to read it), and a file that is no database.
FileVersion inspectLocalFile(const QString &path, HeldFile held = HeldFile::Refuse);
// The same on a file already open for reading (`descriptor`), without
// opening it again.
FileVersion inspectOpenedFile(int descriptor, const QString &path, HeldFile held = HeldFile::Refuse);

// The folder for copies: "databases" in the program's cache folder, or a
// private folder under the temporary folder where that cannot be written.
QString copiesFolder();

// The file a copy of `version` lives in; `kind` tells copies of one version
// apart.
QString copyFileName(const FileVersion &version, const QString &kind);

// Removes the copies of every other version of the same path, and copies
// nobody has used for a week.
void dropOtherVersions(const FileVersion &version);

// A byte-for-byte copy of the file, made once per version and reused. The
// copy is the program's own: an engine may write into it.
QString byteCopy(const FileVersion &version);

// A part of a copy: the bytes of the file at `path` from `offset`, `length`
// of them (-1: all it holds); zeros where the file holds fewer.
struct CopyPiece {
    QString path;
    qint64 offset = 0;
    qint64 length = -1;
};
// A change to a copy's first `bytes` bytes before it is kept.
struct FirstPageChange {
    qsizetype bytes = 0;
    std::function<void(QByteArray &)> apply;

    explicit operator bool() const { return bool(apply); }
};
// byteCopy's way for a copy made of `pieces` in turn (the first from
// `version`'s file), filed under `kind`, each piece checked to have been
// read from an unchanging file.
QString piecewiseCopy(const FileVersion &version, const QString &kind, const std::vector<CopyPiece> &pieces,
                      const FirstPageChange &change);

// Whether a copy found under its final name is whole: at least as long as
// when it was written (an engine may lengthen it, never shorten it), and
// starting with a header page. A power cut can leave a copy short or
// empty under its final name; reused, it would fail on every run.
bool copyLooksWhole(const QString &copy, qint64 writtenSize);

// A finished copy this process may attach: the copy itself, or, while
// another program's engine holds it (an engine holds its file alone), a
// byte copy of it of this process's own.
QString attachableCopy(const QString &copy);

} // namespace dbaccess

#pragma once

#include "login.h"
#include "database_access.h"
#include "file_stamp.h"
#include "firebird_session.h"
#include "ods/ods_database.h"
#include "read_privileges.h"

#include <map>
#include <memory>
#include <optional>

namespace dbaccess {

// The user's file as a connection finds it: the one opened last while the
// path still names it and it may be read, else the file at the path opened
// now. Throws the usual texts when it cannot be opened.
std::shared_ptr<StampedFile> openedFile(const QString &path);

// What the reader made of the file at one moment, and the file's stamp then.
struct FilePicture {
    std::shared_ptr<const ods::Database> database;
    FileStamp stamp;
};

// The on-disk reader on one local file, shared by a connection and its
// recordsets, and the embedded engine on a private modern copy of the file
// for what only an engine can compute (views, computed columns), attached
// on first use.
//
// Nothing is locked: another program may write the file while it is read.
// Each table is read from the picture taken last, a fresh one once the file
// changed, and a table during whose reading the file changed is refused
// rather than given with rows of two moments.
class OdsSession {
public:
    // Reads the catalogue, or takes the one read last for the same login
    // while the file's stamp is unchanged.
    static std::shared_ptr<OdsSession> open(const Login &settings);

    const QString &path() const { return m_settings.database; }
    bool isOpen() const { return m_open; }
    void ensureOpen() const;
    void close();

    // Throws components::ConnectionLost when the file opened is no longer
    // at its path (deleted, moved, or another file put in its place).
    void ensureFileStillThere() const;
    // The database the session opened, told from any other by its header.
    QString identity() const;
    // The picture to read from now: a fresh one when the file has changed.
    const FilePicture &currentPicture();
    // Throws, naming the table, when the file changed since `picture`.
    void ensureUnchangedSince(const FilePicture &picture, const QString &table) const;

    // The relation of that exact name in the current picture; throws when
    // there is none.
    const ods::Relation &relation(const QString &name) const;
    // Throws the engine's refusal for a table the user may not read.
    void ensureMayRead(const ods::Relation &relation);
    // The engine's session on the private copy, for a relation it serves;
    // throws when the copy cannot be made or attached, or cannot serve it.
    std::shared_ptr<Session> engineCopyFor(const ods::Relation &relation);
    // Where the making of the private copy reports; may be null.
    void setPreparationProgress(std::shared_ptr<ado::PreparationProgress> progress) { m_progress = std::move(progress); }
    // True when that copy holds the file's own pages (copyHoldsItsPages), so
    // the engine answers any query on it as it would on the file.
    bool copyIsTheFile() const;
    std::shared_ptr<Session> engineCopy();
    // After engineCopyFor: why each column the copy holds as nulls for the
    // relation cannot be read, by column name.
    std::map<QString, QString> emptyColumnFailures(const ods::Relation &relation) const;
    // What the user is told of a relation the copy holds only in part (a
    // damaged table, a view showing one); empty when it is whole.
    QString partialInCopy(const ods::Relation &relation) const;

    // What undeclaredTextCodePage makes of the file, worked out once.
    const QByteArray &fileCodePage();

private:
    OdsSession() = default;

    Login m_settings;
    FilePicture m_picture;
    // The file opened, told apart from a file later put at its path.
    std::shared_ptr<StampedFile> m_file;
    std::optional<ReadPrivileges> m_privileges;
    std::shared_ptr<Session> m_engineCopy;
    std::shared_ptr<ado::PreparationProgress> m_progress;
    std::map<QString, QString> m_copyFailures;
    QString m_copyProblem;
    std::map<QString, std::map<QString, QString>> m_copyEmptyColumns;
    std::map<QString, QString> m_copyPartial;
    std::optional<QByteArray> m_fileCodePage;
    bool m_open = false;
};

} // namespace dbaccess

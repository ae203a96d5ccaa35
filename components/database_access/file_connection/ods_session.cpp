#include "ods_session.h"

#include "component_error.h"
#include "file_messages.h"
#include "firebird_error.h"
#include "cache_folder.h"
#include "local_file.h"
#include "modern_copy.h"
#include "ods_rows.h"
#include "ods/system_table.h"

#include <QFile>
#include <mutex>
#include <unistd.h>

namespace dbaccess {

namespace {

constexpr int pictureAttempts = 3;

// Every page the catalogue lists lies inside the files. A file cut short (a
// copy stopped halfway, a full disk) would otherwise read as a smaller
// database, its lost tables simply missing. A continuation file that is
// missing costs only the tables in it, each with its report.
void ensureWhole(const ods::Database &database, const QString &path)
{
    bool whole = true;
    try {
        ods::SystemTable listed(database, QStringLiteral("RDB$PAGES"));
        while (listed.next())
            if (database.beyondEnd(quint32(listed.number("RDB$PAGE_NUMBER").value_or(0))))
                whole = false;
    } catch (const components::ComponentError &) {
        whole = false;
    }
    if (!whole)
        throw components::ComponentError(describeFileProblem(0, path));
}

// The catalogue read between two equal stamps: one state of the file.
FilePicture takePicture(const StampedFile &file)
{
    const QString &path = file.path();
    for (int attempt = 0; attempt < pictureAttempts; ++attempt) {
        const FileStamp before = file.stamp();
        std::shared_ptr<const ods::Database> database;
        try {
            database = ods::Database::open(path);
            ensureWhole(*database, path);
        } catch (const components::ComponentError &) {
            // What looks damaged may only be half written: look again.
            if (file.stamp() == before)
                throw;
            continue;
        }
        if (file.stamp() == before)
            return {database, before};
    }
    throw components::ComponentError(QStringLiteral("The database file \"%1\" kept changing while it was being read. "
                                                    "Try again when the program that writes it is done.").arg(path));
}

QString replacedText(const QString &path)
{
    return QStringLiteral("The database file \"%1\" is gone: it was deleted, moved or replaced by another file "
                          "after it was opened.").arg(path);
}

QString identityOf(const ods::FileFacts &facts)
{
    return QStringLiteral("%1/%2/%3/%4")
        .arg(facts.firebird ? QStringLiteral("Firebird") : QStringLiteral("InterBase"))
        .arg(facts.odsMajor)
        .arg(facts.pageSize)
        .arg(facts.created);
}

// The last file opened and the last catalogue read of it, with the login it
// was read for. Each step of an export opens a connection of its own (list
// the tables, check them, export them); while the file's stamp stays the
// same, each finds the file open and its catalogue read.
struct KeptOpen {
    std::shared_ptr<StampedFile> file;
    std::optional<Login> login;
    FilePicture picture;
};

std::mutex keptLock;
KeptOpen kept;

} // namespace

std::shared_ptr<StampedFile> openedFile(const QString &path)
{
    const std::lock_guard<std::mutex> lock(keptLock);
    if (kept.file && kept.file->path() == path && kept.file->stillAtPath() &&
        ::access(QFile::encodeName(path).constData(), R_OK) == 0)
        return kept.file;
    std::shared_ptr<StampedFile> file;
    try {
        file = std::make_shared<StampedFile>(path);
    } catch (const components::ComponentError &) {
        // The inspection's texts tell a file the user may not read apart.
        inspectLocalFile(path);
        throw;
    }
    kept = KeptOpen{file, std::nullopt, {}};
    return file;
}

std::shared_ptr<OdsSession> OdsSession::open(const Login &settings)
{
    std::shared_ptr<OdsSession> session(new OdsSession);
    session->m_settings = settings;
    session->m_file = openedFile(settings.database);
    {
        const std::lock_guard<std::mutex> lock(keptLock);
        // A database with a file missing is read again: the user told to
        // put the file in place tries again with the program still open.
        if (kept.file == session->m_file && kept.login == settings && session->m_file->stamp() == kept.picture.stamp &&
            !kept.picture.database->files().back().path.isEmpty()) {
            session->m_picture = kept.picture;
        } else {
            session->m_picture = takePicture(*session->m_file);
            if (kept.file == session->m_file) {
                kept.login = settings;
                kept.picture = session->m_picture;
            }
        }
    }
    session->m_open = true;
    return session;
}

void OdsSession::ensureOpen() const
{
    if (!m_open)
        throw components::ConnectionLost(QStringLiteral("The connection to the database is closed."));
}

void OdsSession::close()
{
    m_open = false;
    if (m_engineCopy)
        m_engineCopy->close();
    m_engineCopy.reset();
}

void OdsSession::ensureFileStillThere() const
{
    if (!m_file->stillAtPath())
        throw components::ConnectionLost(replacedText(path()));
}

QString OdsSession::identity() const { return identityOf(m_picture.database->facts()); }

const FilePicture &OdsSession::currentPicture()
{
    ensureOpen();
    ensureFileStillThere();
    if (m_file->stamp() != m_picture.stamp) {
        // Refused as at opening when another file took its place; an
        // engine that now holds it is no reason, as every read is checked.
        inspectLocalFile(path(), HeldFile::Read);
        FilePicture fresh = takePicture(*m_file);
        // Another database copied over the file keeps its inode: only its
        // header tells.
        if (identityOf(fresh.database->facts()) != identity())
            throw components::ConnectionLost(replacedText(path()));
        m_picture = std::move(fresh);
        m_privileges.reset();
        // The engine's copy shows the file as it was: a new one is made for
        // the state read from now on. A query still reading the old one
        // keeps it until it is done.
        m_engineCopy.reset();
        m_copyProblem.clear();
    }
    return m_picture;
}

void OdsSession::ensureUnchangedSince(const FilePicture &picture, const QString &table) const
{
    ensureFileStillThere();
    if (m_file->stamp() != picture.stamp)
        throw components::ComponentError(
            QStringLiteral("The table \"%1\" cannot be read: another program changed \"%2\" while the table was being "
                           "read, so what was read would mix two states of the database. Export it again, or when the "
                           "program that writes the file is done.").arg(table, path()));
}

const ods::Relation &OdsSession::relation(const QString &name) const
{
    for (const auto &relation : m_picture.database->relations())
        if (relation.name == name)
            return relation;
    throw components::ComponentError(QStringLiteral("The table does not exist in \"%1\" (there is no table or view "
                                                    "named \"%2\").").arg(m_settings.database, name));
}

void OdsSession::ensureMayRead(const ods::Relation &relation)
{
    // The catalogue itself is everyone's to read.
    if (relation.system)
        return;
    if (!m_privileges)
        m_privileges.emplace(*m_picture.database, m_settings.user, m_settings.role);
    if (!m_privileges->mayRead(relation))
        throw components::ComponentError(describeNoPermission(path()));
}

bool OdsSession::copyIsTheFile() const
{
    return copyHoldsItsPages(*m_picture.database);
}

std::shared_ptr<Session> OdsSession::engineCopy()
{
    ensureOpen();
    // A copy that cannot be made (a full disk) is not tried again for each
    // view: the reason is told once, then each relation that needed it.
    if (!m_copyProblem.isEmpty())
        throw components::ComponentError(m_copyProblem);
    if (!m_engineCopy) {
        const auto makeCopy = [&] {
            try {
                // The copy is checked to have been read from an unchanging file.
                return modernCopy(inspectOpenedFile(m_file->descriptor(), path(), HeldFile::Read),
                                  *m_picture.database, m_progress.get());
            } catch (const components::ComponentError &error) {
                m_copyProblem = error.description();
                throw;
            }
        };
        // Made from the picture of the file now, and filed under that state.
        currentPicture();
        ModernCopy copy = makeCopy();
        Login settings = m_settings;
        // A rebuilt copy is owned by SYSDBA; the grants were checked in the
        // file before.
        if (copy.rebuilt)
            settings.user = QStringLiteral("SYSDBA");
        try {
            m_engineCopy = Session::open(settings, copy.path);
        } catch (const components::ComponentError &) {
            // Cut in a way its length and first page do not show (a power
            // cut after its rename): made once more, not refused on every
            // later run.
            if (!discardCopy(copy.path))
                throw;
            copy = makeCopy();
            m_engineCopy = Session::open(settings, copy.path);
        }
        m_copyFailures = copy.failures;
        m_copyEmptyColumns = copy.emptyColumns;
        m_copyPartial = copy.partial;
    }
    return m_engineCopy;
}

std::shared_ptr<Session> OdsSession::engineCopyFor(const ods::Relation &relation)
{
    if (!m_copyProblem.isEmpty())
        throw components::ComponentError(
            QStringLiteral("The %1 \"%2\" of \"%3\" cannot be read: the private copy it needs could not be made, as "
                           "reported before.").arg(relation.view ? QStringLiteral("view") : QStringLiteral("table"),
                                                    relation.name, m_settings.database));
    engineCopy();
    const auto failure = m_copyFailures.find(relation.name);
    if (failure != m_copyFailures.end())
        throw components::ComponentError(QStringLiteral("The %1 \"%2\" of \"%3\" cannot be read: %4.")
                                             .arg(relation.view ? QStringLiteral("view") : QStringLiteral("table"),
                                                  relation.name, m_settings.database, failure->second));
    return m_engineCopy;
}

std::map<QString, QString> OdsSession::emptyColumnFailures(const ods::Relation &relation) const
{
    std::map<QString, QString> failures;
    const auto columns = m_copyEmptyColumns.find(relation.name);
    if (columns != m_copyEmptyColumns.end())
        for (const auto &[column, reason] : columns->second)
            failures[column] = QStringLiteral("The column \"%1\" of the %2 \"%3\" of \"%4\" cannot be read: %5.")
                                   .arg(column, relation.view ? QStringLiteral("view") : QStringLiteral("table"),
                                        relation.name, m_settings.database, reason);
    return failures;
}

QString OdsSession::partialInCopy(const ods::Relation &relation) const
{
    const auto partial = m_copyPartial.find(relation.name);
    return partial == m_copyPartial.end() ? QString() : partial->second;
}

const QByteArray &OdsSession::fileCodePage()
{
    if (!m_fileCodePage)
        m_fileCodePage = undeclaredTextCodePage(*m_picture.database);
    return *m_fileCodePage;
}

} // namespace dbaccess

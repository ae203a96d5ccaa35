#pragma once

#include "connection_string_parser.h"
#include "database_access.h"
#include "firebird_session.h"
#include "local_file.h"
#include "ods/ods_database.h"

#include <map>
#include <memory>

namespace dbaccess {

// The on-disk reader on one local file, shared by a connection and its
// recordsets, and the embedded engine on a private modern copy of the file
// for what only an engine can compute (views, computed columns), attached
// on first use.
class OdsSession {
public:
    static std::shared_ptr<OdsSession> open(const AttachmentSettings &settings, const FileVersion &version);

    const ods::Database &database() const { return *m_database; }
    const QString &path() const { return m_settings.database; }
    bool isOpen() const { return m_open; }
    void ensureOpen() const;
    void close();

    // The relation of that exact name; throws when there is none.
    const ods::Relation &relation(const QString &name) const;
    // The engine's session on the private copy, for a relation it serves;
    // throws when the copy cannot be made or attached, or cannot serve it.
    std::shared_ptr<Session> engineCopyFor(const ods::Relation &relation);
    // Where the making of the private copy reports; may be null.
    void setPreparationProgress(std::shared_ptr<ado::PreparationProgress> progress) { m_progress = std::move(progress); }
    // After engineCopyFor: why each column the copy holds as nulls for the
    // relation cannot be read, by column name.
    std::map<QString, QString> emptyColumnFailures(const ods::Relation &relation) const;

private:
    OdsSession() = default;

    AttachmentSettings m_settings;
    FileVersion m_version;
    std::unique_ptr<ods::Database> m_database;
    std::shared_ptr<Session> m_engineCopy;
    std::shared_ptr<ado::PreparationProgress> m_progress;
    std::map<QString, QString> m_copyFailures;
    QString m_copyProblem;
    std::map<QString, std::map<QString, QString>> m_copyEmptyColumns;
    bool m_open = false;
};

} // namespace dbaccess

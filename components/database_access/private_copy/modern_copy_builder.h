#pragma once

// The embedded engine's side of a rebuilt private copy: one attachment to
// the new database. Every statement runs in a transaction of its own, so
// one that fails leaves the others in place.

#include "engine_refusal.h"
#include "local_file.h"
#include "ods/ods_database.h"

#include <QString>
#include <firebird/Interface.h>
#include <functional>
#include <map>

namespace dbaccess {

class CopyBuilder {
public:
    // Creates the database; throws components::ComponentError when it cannot.
    CopyBuilder(const QString &file, const FileVersion &version, int dialect);
    ~CopyBuilder();
    CopyBuilder(const CopyBuilder &) = delete;
    CopyBuilder &operator=(const CopyBuilder &) = delete;

    // None when the statement ran.
    EngineRefusal run(const QString &sql, int dialect);
    // The engine's character set names by number.
    std::map<int, QString> charsetNames();
    // Every stored row of the relation, through the engine's own message
    // buffers: the reader's values are already in their layout. Empty when
    // all were copied; else the engine's words, or the reader's when the
    // file's rows cannot be read. rowCopied follows each row. What the rows
    // of a damaged file could not give goes to `losses`.
    QString copyRows(const ods::Database &database, const ods::Relation &relation,
                     const std::function<void()> &rowCopied, ods::ReadLosses &losses);

private:
    void fill(const ods::Database &database, const ods::Relation &relation, const ods::Rows &rows, int column,
              Firebird::IMessageMetadata *input, unsigned parameter, unsigned char *message,
              Firebird::ITransaction *transaction);
    static QString errorText(const Firebird::IStatus *status);
    static EngineRefusal refusal(const Firebird::IStatus *status);
    // Gives up a failed copy: whichever of the three it got so far.
    static void release(Firebird::IMessageMetadata *input, Firebird::IStatement *statement,
                        Firebird::ITransaction *transaction);

    Firebird::ThrowStatusWrapper m_status;
    Firebird::IAttachment *m_attachment = nullptr;
};

} // namespace dbaccess

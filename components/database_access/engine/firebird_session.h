#pragma once

#include "login.h"

#include <QString>
#include <firebird/Interface.h>
#include <memory>

namespace dbaccess {

// One attachment and the one read-only SNAPSHOT transaction that every read
// of a connection shares from Open to Close, so a row count and the rows
// that follow it, and all tables of one export, are one consistent picture.
// Recordsets keep the session alive and ask it whether it is still open.
class Session {
public:
    // `file`, when given, is attached in place of settings.database (a
    // private copy of it); failures still name settings.database.
    static std::shared_ptr<Session> open(const Login &settings, const QString &file = {});
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    void close();
    bool isOpen() const { return m_attachment != nullptr; }
    // Throws when the connection has been closed.
    void ensureOpen() const;

    Firebird::IAttachment *attachment() const { return m_attachment; }
    Firebird::ITransaction *transaction() const { return m_transaction; }
    const QString &database() const { return m_database; }

private:
    Session() = default;

    QString m_database;
    Firebird::IAttachment *m_attachment = nullptr;
    Firebird::ITransaction *m_transaction = nullptr;
};

} // namespace dbaccess

#pragma once

// Real Firebird databases for the database access tests, made with Firebird's
// own isql-fb, so the tests need no Firebird headers and the data is written
// by something other than the code under test.

#include "database_access.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

struct FirebirdServer {
    QString host;
    QString user;
    QString password;
    QString folder; // where the server may create and open files
};

// The server the test command started; nullopt (with the reason in
// skipReason) when none is configured. Under CI=true a missing server fails.
std::optional<FirebirdServer> testServer(QString *skipReason);

class ScratchDatabase {
public:
    // A new database in a temporary folder, opened by the embedded engine.
    // script runs after CREATE DATABASE on a connection of character set
    // `charset`; its bytes go to Firebird unchanged.
    static std::unique_ptr<ScratchDatabase> embedded(const QByteArray &script, const QByteArray &charset = "UTF8",
                                                     int dialect = 3, int pageSize = 8192);
    static std::unique_ptr<ScratchDatabase> onServer(const FirebirdServer &server, const QByteArray &script,
                                                     const QByteArray &charset = "UTF8");

    QString file() const { return m_file; }
    // What the connection window's "Database:" box holds for it.
    QString dbname() const { return m_dbname; }
    QString connectionString(const QString &user = QStringLiteral("SYSDBA"), const QString &password = QString()) const;

    // Runs more SQL on it (isql-fb, a process of its own).
    void run(const QByteArray &script) const;

private:
    ScratchDatabase() = default;

    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_file;
    QString m_dbname;
    QString m_user = QStringLiteral("SYSDBA");
    QString m_password = QStringLiteral("masterkey");
    QByteArray m_charset;
};

namespace db_test {

// A table TYPES with a column of each type a Firebird 3 table holds: rows
// ID 1 to 3 hold the extremes and nulls, rows from ID 4 on ordinary values
// with no null.
extern const QByteArray everyTypeTable;

// Through the component under test, as the program opens and reads.
std::shared_ptr<ado::Connection> open(const QString &connectionString);
std::shared_ptr<ado::Recordset> query(ado::Connection &connection, const QString &sql);
// The description a failing action carries, or "(no failure)".
QString failureOf(const std::function<void()> &action);

} // namespace db_test

// isql-fb on a database; fails the test when isql-fb does.
void runIsql(const QByteArray &script, const QByteArray &charset);

// The lock folder that isql-fb must share with the embedded engine in this
// process: a root-owned lock file in /tmp/firebird would lock the server out.
QByteArray embeddedLockFolder();

#include "firebird_scratch_database.h"

#include "connection_string.h"

#include <QDir>
#include <QProcess>
#include <QUuid>
#include <gtest/gtest.h>
#include <unistd.h>
#include <optional>

QByteArray embeddedLockFolder()
{
    static const QByteArray folder = [] {
        QByteArray existing = qgetenv("FIREBIRD_LOCK");
        if (!existing.isEmpty())
            return existing;
        // Same rule as the component, so both engines share one lock table.
        const QByteArray own = QDir::tempPath().toLocal8Bit() + "/marrowbeck-firebird-" + QByteArray::number(getuid());
        QDir().mkpath(QString::fromLocal8Bit(own));
        QFile::setPermissions(QString::fromLocal8Bit(own), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("FIREBIRD_LOCK", own);
        return own;
    }();
    return folder;
}

void runIsql(const QByteArray &script, const QByteArray &charset)
{
    QProcess isql;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FIREBIRD_LOCK"), QString::fromLocal8Bit(embeddedLockFolder()));
    isql.setProcessEnvironment(environment);
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-ch"),
                                            QString::fromLatin1(charset)});
    ASSERT_TRUE(isql.waitForStarted(10000)) << "isql-fb did not start";
    isql.write(script);
    isql.write("\nCOMMIT;\nQUIT;\n");
    isql.closeWriteChannel();
    ASSERT_TRUE(isql.waitForFinished(120000));
    ASSERT_EQ(isql.exitCode(), 0) << isql.readAllStandardError().constData() << isql.readAllStandardOutput().constData()
                                  << "\nScript:\n" << script.left(2000).constData();
}

std::optional<FirebirdServer> testServer(QString *skipReason)
{
    FirebirdServer server{qEnvironmentVariable("MARROWBECK_TEST_FB_HOST"), qEnvironmentVariable("MARROWBECK_TEST_FB_USER", QStringLiteral("SYSDBA")),
                          qEnvironmentVariable("MARROWBECK_TEST_FB_PASSWORD"), qEnvironmentVariable("MARROWBECK_TEST_FB_DIR")};
    if (!server.host.isEmpty() && !server.password.isEmpty() && !server.folder.isEmpty())
        return server;
    *skipReason = QStringLiteral("No Firebird test server: MARROWBECK_TEST_FB_HOST, _PASSWORD and _DIR are not set "
                                 "(scripts/test-services.sh start sets them).");
    return std::nullopt;
}

namespace {

QByteArray createStatement(const QString &target, const QString &user, const QString &password, int dialect = 3,
                           int pageSize = 8192)
{
    return "SET SQL DIALECT " + QByteArray::number(dialect) + ";\nCREATE DATABASE '" + target.toUtf8() + "' USER '" + user.toUtf8() + "' PASSWORD '" + password.toUtf8()
        + "' PAGE_SIZE " + QByteArray::number(pageSize) + " DEFAULT CHARACTER SET NONE;\n";
}

} // namespace

std::unique_ptr<ScratchDatabase> ScratchDatabase::embedded(const QByteArray &script, const QByteArray &charset,
                                                           int dialect, int pageSize)
{
    std::unique_ptr<ScratchDatabase> database(new ScratchDatabase);
    database->m_folder = std::make_unique<QTemporaryDir>();
    database->m_file = database->m_folder->filePath(QStringLiteral("scratch.fdb"));
    database->m_dbname = database->m_file;
    database->m_charset = charset;
    runIsql(createStatement(database->m_file, database->m_user, database->m_password, dialect, pageSize) + script, charset);
    return database;
}

std::unique_ptr<ScratchDatabase> ScratchDatabase::onServer(const FirebirdServer &server, const QByteArray &script,
                                                           const QByteArray &charset)
{
    std::unique_ptr<ScratchDatabase> database(new ScratchDatabase);
    database->m_file = server.folder + QStringLiteral("/%1.fdb").arg(QUuid::createUuid().toString(QUuid::Id128));
    database->m_dbname = server.host + u':' + database->m_file;
    database->m_user = server.user;
    database->m_password = server.password;
    database->m_charset = charset;
    runIsql(createStatement(database->m_dbname, server.user, server.password) + script, charset);
    return database;
}

QString ScratchDatabase::connectionString(const QString &user, const QString &password) const
{
    return dbaccess::connectionString(
        dbaccess::enteredLogin(m_dbname, user, password.isNull() ? m_password : password));
}

void ScratchDatabase::run(const QByteArray &script) const
{
    runIsql("CONNECT '" + m_dbname.toUtf8() + "' USER '" + m_user.toUtf8() + "' PASSWORD '" + m_password.toUtf8()
                + "';\n" + script,
            m_charset);
}

namespace db_test {

const QByteArray everyTypeTable =
    "CREATE TABLE TYPES (ID INTEGER, S SMALLINT, I INTEGER, B BIGINT, N NUMERIC(18,4), M NUMERIC(9,2), F FLOAT,"
    " D DOUBLE PRECISION, DT DATE, T TIME, TS TIMESTAMP, FLAG BOOLEAN, C CHAR(6), V VARCHAR(20));\n"
    "INSERT INTO TYPES VALUES (1, -32768, -2147483648, -9223372036854775807 - 1, 12345678901234.5678, 0.01, 0.1, 0.1,"
    " '0001-01-01', '23:59:59.1234', '1899-12-30 00:00:00', TRUE, '00123', '=1+1');\n"
    "INSERT INTO TYPES VALUES (2, 32767, 2147483647, 9223372036854775807, 99999999999999.9999, -12.34, 1e30, 1e300,"
    " '1899-12-30', '00:00:00', '9999-12-31 23:59:59.9999', FALSE, 'TRUE', '2021-08-31');\n"
    "INSERT INTO TYPES (ID, C, V) VALUES (3, '1E5', '');\n"
    "INSERT INTO TYPES VALUES (4, 999, 1000, 1000000000000000000, 1.5, 50.00, 3.25, 0.1,"
    " '9999-12-31', '12:00:00.5', '2020-02-29 18:00:00.1', TRUE, 'A', 'x');\n"
    "INSERT INTO TYPES VALUES (5, -7, 999, 123456789012345, -0.0001, 999.99, -2.5, 1e-300,"
    " '1900-03-01', '08:30:00', '1582-10-15 12:00:00', FALSE, 'B', 'y');\n"
    "INSERT INTO TYPES VALUES (6, 0, -1, -5, 1234567890.1234, 0, 0.1, -1.5e-7,"
    " '2021-08-31', '23:59:59.9999', '2021-08-31 00:00:00', TRUE, 'C', 'z');\n"
    "INSERT INTO TYPES VALUES (7, 32, 2, 42, 0, -0.05, 16777216, 123456789012345,"
    " '2000-02-29', '00:00:00.0001', '1999-12-31 23:59:59', FALSE, 'D', 'w');\n"
    "INSERT INTO TYPES VALUES (8, 1, 100000, 7, 10.5, 10.10, 1, 2.5,"
    " '1970-01-01', '13:05:09', '1970-01-01 00:00:00.5', TRUE, 'E', 'v');\n";

std::shared_ptr<ado::Connection> open(const QString &connectionString)
{
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(connectionString);
    return connection;
}

std::shared_ptr<ado::Recordset> query(ado::Connection &connection, const QString &sql)
{
    auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
    recordset->setCursorLocation(ado::adUseClient);
    recordset->Open(sql, connection);
    return recordset;
}

QString failureOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const components::ComponentError &error) {
        return error.description();
    }
    return QStringLiteral("(no failure)");
}

} // namespace db_test

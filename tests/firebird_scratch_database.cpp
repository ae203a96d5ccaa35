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
    return FireBird::connectionString(m_dbname, user, password.isNull() ? m_password : password);
}

void ScratchDatabase::run(const QByteArray &script) const
{
    runIsql("CONNECT '" + m_dbname.toUtf8() + "' USER '" + m_user.toUtf8() + "' PASSWORD '" + m_password.toUtf8()
                + "';\n" + script,
            m_charset);
}

namespace db_test {

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

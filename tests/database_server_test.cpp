// The Firebird database access component against a Firebird server on
// 127.0.0.1, started by the test command (scripts/test-services.sh).

#include "connection_string.h"
#include "database_access.h"
#include "firebird_scratch_database.h"
#include "register_database_access.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using db_test::failureOf;
using db_test::open;
using db_test::query;

class DatabaseServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString reason;
        const auto found = testServer(&reason);
        if (!found) {
            if (qEnvironmentVariable("CI") == "true")
                FAIL() << reason.toStdString();
            GTEST_SKIP() << reason.toStdString();
        }
        server = *found;
        embeddedLockFolder();
        registerDatabaseAccessComponents();
    }


    QString remote(const QString &path) const { return server.host + u':' + path; }

    FirebirdServer server;
};

TEST_F(DatabaseServer, LoginFailuresAreDescribed)
{
    auto database = ScratchDatabase::onServer(server, "CREATE TABLE T (ID INTEGER);\n");
    const QString expected = QStringLiteral("The user name or the password is not correct for the database \"%1\".")
                                 .arg(database->dbname());
    EXPECT_EQ(failureOf([&] { open(database->connectionString(server.user, QStringLiteral("wrong"))); }), expected);
    EXPECT_EQ(failureOf([&] { open(database->connectionString(QStringLiteral("NOBODY"), QStringLiteral("x"))); }), expected);
    EXPECT_NO_THROW(open(database->connectionString(server.user.toLower(), server.password)));
}

// Each way a typed location can miss has its own account: the file, the
// server, the host's name, a file address of another computer.
TEST_F(DatabaseServer, MissingFilesAndServersAreDescribedByWhatIsMissing)
{
    const QString missing = remote(server.folder + QStringLiteral("/missing.fdb"));
    const QString nobodyListens = server.host + QStringLiteral("/1:") + server.folder + QStringLiteral("/x.fdb");
    const std::vector<std::pair<QString, QString>> cases{
        {missing, QStringLiteral("The database file \"%1\" cannot be opened: it does not exist, or the server may not "
                                 "read and write it.").arg(missing)},
        {nobodyListens, QStringLiteral("The Firebird server for \"%1\" cannot be reached: it is not running, or it does "
                                       "not accept connections on that host and port.").arg(nobodyListens)},
        {QStringLiteral("nosuchhost.invalid:/x.fdb"),
         QStringLiteral("The server of \"nosuchhost.invalid:/x.fdb\" cannot be found: the host name "
                        "\"nosuchhost.invalid\" is unknown. Check its spelling and the network connection.")},
        {QStringLiteral("nosuchhost.invalid/3050:/x.fdb"),
         QStringLiteral("The server of \"nosuchhost.invalid/3050:/x.fdb\" cannot be found: the host name "
                        "\"nosuchhost.invalid\" is unknown. Check its spelling and the network connection.")},
        {server.host + QStringLiteral("/no_such_service:/x.fdb"),
         QStringLiteral("The server of \"%1/no_such_service:/x.fdb\" cannot be found: the host name \"%1\" or the port "
                        "name \"no_such_service\" is unknown. Check their spelling and the network connection.")
             .arg(server.host)},
        {QStringLiteral("file://fileserver/share/x.fdb"),
         QStringLiteral("\"file://fileserver/share/x.fdb\" is the address of a file on another computer. A database "
                        "there opens through the Firebird server of that computer (host:path).")},
        {QStringLiteral("file:///no%20such%20folder/x.fdb"),
         QStringLiteral("The database file \"/no such folder/x.fdb\" does not exist.")}};
    for (const auto &[database, expected] : cases)
        EXPECT_EQ(failureOf([&] {
                      open(dbaccess::connectionString(dbaccess::enteredLogin(database, server.user, server.password)));
                  }),
                  expected)
            << database.toStdString();
}

// A file a server has open gives no consistent picture to a local reading:
// refused, clearly. A local reading holds nothing the server could collide
// with, and the file stays readable both ways.
TEST_F(DatabaseServer, AFileAServerHoldsIsRefusedLocallyAndALocalReadingHoldsNothing)
{
    auto database = ScratchDatabase::onServer(server, "CREATE TABLE T (ID INTEGER);\nINSERT INTO T VALUES (1);\n");
    const QString embedded =
        dbaccess::connectionString(dbaccess::enteredLogin(database->file(), server.user, server.password));
    const QString inUse = QStringLiteral("is in use by another program");
    {
        auto throughServer = open(database->connectionString());
        EXPECT_TRUE(failureOf([&] { open(embedded); }).contains(inUse)) << failureOf([&] { open(embedded); }).toStdString();
        EXPECT_EQ(query(*throughServer, QStringLiteral("SELECT * FROM T"))->RecordCount(), 1);
    }
    {
        // A local reading holds no lock on the file, so the server may open
        // it meanwhile, and the reading goes on, checked against changes.
        auto direct = open(embedded);
        auto throughServer = open(database->connectionString());
        EXPECT_EQ(query(*direct, QStringLiteral("SELECT * FROM T"))->RecordCount(), 1);
        EXPECT_EQ(query(*throughServer, QStringLiteral("SELECT * FROM T"))->RecordCount(), 1);
    }
    auto again = open(database->connectionString());
    EXPECT_EQ(query(*again, QStringLiteral("SELECT * FROM T"))->RecordCount(), 1);
}

// The count comes first and the export then reads exactly that many rows:
// both must come from one snapshot while others keep inserting.
TEST_F(DatabaseServer, CountMatchesTheRowsWhileAnotherConnectionInserts)
{
    auto database = ScratchDatabase::onServer(server, "CREATE TABLE T (ID INTEGER, NAME VARCHAR(20));\n"
                                                      "INSERT INTO T VALUES (0, 'seed');\n");
    QByteArray inserts = "CONNECT '" + database->dbname().toUtf8() + "' USER '" + server.user.toUtf8() + "' PASSWORD '"
        + server.password.toUtf8() + "';\n";
    for (int i = 1; i <= 1000; ++i)
        inserts += "INSERT INTO T VALUES (" + QByteArray::number(i) + ", 'row');\nCOMMIT;\n";
    QProcess writer;
    writer.start(QStringLiteral("isql-fb"), {QStringLiteral("-q")});
    ASSERT_TRUE(writer.waitForStarted());
    writer.write(inserts);
    writer.closeWriteChannel();

    int checks = 0;
    long lastCount = 0;
    bool writerDone = false;
    while (!writerDone || checks < 3) {
        // Without an event loop QProcess notices its end only when asked.
        writerDone = writerDone || writer.waitForFinished(0) || writer.state() == QProcess::NotRunning;
        auto connection = open(database->connectionString());
        auto recordset = query(*connection, QStringLiteral("SELECT * FROM T"));
        const long count = recordset->RecordCount();
        QThread::msleep(20); // let more rows arrive between count and rows
        long read = 0;
        while (!recordset->Eof()) {
            ++read;
            recordset->MoveNext();
        }
        ASSERT_EQ(read, count);
        EXPECT_GE(count, lastCount);
        lastCount = count;
        ++checks;
    }
    writer.waitForFinished();
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().constData();
    EXPECT_EQ(lastCount, 1001);
}

// An attachment the server ends under a reading (as when it stops, or an
// administrator cuts it off) is told apart from a table that fails: by the
// kind of the failure, so the export can stop at once.
TEST_F(DatabaseServer, AnAttachmentEndedUnderTheReadingFailsAsAConnectionLost)
{
    auto database = ScratchDatabase::onServer(server, "CREATE TABLE T (ID INTEGER);\nINSERT INTO T VALUES (1);\n");
    auto connection = open(database->connectionString());
    ASSERT_EQ(query(*connection, QStringLiteral("SELECT * FROM T"))->RecordCount(), 1);
    const auto kindOf = [](const std::function<void()> &action) {
        try {
            action();
        } catch (const components::ConnectionLost &) {
            return std::string("connection lost");
        } catch (const components::ComponentError &error) {
            return error.description().toStdString();
        }
        return std::string("(no failure)");
    };
    EXPECT_TRUE(kindOf([&] { query(*connection, QStringLiteral("SELECT * FROM \"MISSING\"")); })
                    .starts_with("The table does not exist"));
    database->run("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION;\n");
    EXPECT_EQ(kindOf([&] { query(*connection, QStringLiteral("SELECT * FROM T")); }), "connection lost");
    EXPECT_NO_THROW(connection->Close());
    EXPECT_EQ(kindOf([&] { query(*connection, QStringLiteral("SELECT * FROM T")); }), "connection lost");
}

TEST_F(DatabaseServer, TextBlobsOfEverySizeReadWholeOverTheServer)
{
    auto database = ScratchDatabase::onServer(server, R"(
CREATE TABLE T (ID INTEGER, NOTE BLOB SUB_TYPE TEXT, PIC BLOB SUB_TYPE BINARY);
INSERT INTO T VALUES (1, 'short', x'0102');
INSERT INTO T VALUES (2, RPAD(CAST('' AS BLOB SUB_TYPE TEXT), 30000, 'xyz'), NULL);
INSERT INTO T VALUES (3, NULL, x'FF');
INSERT INTO T VALUES (4, 'Jürgen', NULL);
)");
    auto connection = open(database->connectionString());
    auto recordset = query(*connection, QStringLiteral("SELECT * FROM T ORDER BY ID"));
    ASSERT_EQ(recordset->RecordCount(), 4);
    EXPECT_EQ((*recordset)[1].Type(), ado::adLongVarChar);
    EXPECT_EQ((*recordset)[2].Type(), ado::adLongVarBinary);
    EXPECT_EQ(*(*recordset)[1].value(), "short");
    EXPECT_EQ(*(*recordset)[2].value(), "0102");
    recordset->MoveNext();
    EXPECT_EQ((*recordset)[1].value()->size(), 30000);
    recordset->MoveNext();
    EXPECT_FALSE((*recordset)[1].value().has_value());
    recordset->MoveNext();
    EXPECT_EQ(*(*recordset)[1].value(), QStringLiteral(u"Jürgen"));
}

// The cells of a table of every type are the same whichever way the table
// is read: the file reader, a view the embedded engine computes, a server.
TEST_F(DatabaseServer, EveryTypeGivesTheSameCellsThroughTheReaderTheEngineAndAServer)
{
    const QByteArray view = "CREATE VIEW TYPES_VIEW AS SELECT * FROM TYPES;\n";
    const auto local = ScratchDatabase::embedded(db_test::everyTypeTable + view);
    const auto remote = ScratchDatabase::onServer(server, db_test::everyTypeTable);
    const auto cells = [](const QString &connectionString, const QString &table) {
        auto connection = open(connectionString);
        auto recordset = query(*connection, QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(table));
        QStringList rows;
        for (; !recordset->Eof(); recordset->MoveNext()) {
            QStringList row;
            for (int f = 0; f < recordset->fields().count(); ++f) {
                const excel::Cell cell = (*recordset)[f].cell();
                row << QStringLiteral("%1 %2 %3 %4").arg(int(cell.kind)).arg(cell.number, 0, 'g', 17).arg(cell.text, cell.format);
            }
            rows << row.join(u'|');
        }
        return rows;
    };
    const QStringList byReader = cells(local->connectionString(), QStringLiteral("TYPES"));
    ASSERT_EQ(byReader.size(), 8);
    EXPECT_TRUE(byReader[3].startsWith(QStringLiteral("1 4 4 0|"))) << "an INTEGER is a number cell: " << byReader[3].toStdString();
    EXPECT_EQ(cells(local->connectionString(), QStringLiteral("TYPES_VIEW")), byReader);
    EXPECT_EQ(cells(remote->connectionString(server.user, server.password), QStringLiteral("TYPES")), byReader);
}

} // namespace

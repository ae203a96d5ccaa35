// The Firebird database access component against the embedded engine:
// databases made by isql-fb in temporary folders, and the sample database.

#include "connection_string.h"
#include "database_access.h"
#include "file_digest.h"
#include "firebird_scratch_database.h"
#include "local_file.h"
#include "ods_connection.h"
#include "register_database_access.h"
#include "value_text.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLocale>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using db_test::failureOf;
using db_test::open;
using db_test::query;

class DatabaseAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        embeddedLockFolder();
        registerDatabaseAccessComponents();
    }

    // Every row of a query as text, read the way the export reads: the
    // record count first, then exactly that many rows.
    static std::vector<std::vector<ado::Value>> rows(ado::Connection &connection, const QString &sql)
    {
        auto recordset = query(connection, sql);
        const long count = recordset->RecordCount();
        std::vector<std::vector<ado::Value>> result;
        for (long r = 0; r < count; ++r) {
            std::vector<ado::Value> row;
            for (int f = 0; f < recordset->fields().count(); ++f)
                row.push_back((*recordset)[f].value());
            result.push_back(row);
            recordset->MoveNext();
        }
        EXPECT_TRUE(recordset->Eof());
        return result;
    }

    static std::vector<std::pair<QString, QString>> tables(ado::Connection &connection)
    {
        auto schema = connection.OpenSchema(ado::adSchemaTables);
        std::vector<std::pair<QString, QString>> result;
        while (!schema->Eof()) {
            result.emplace_back(*schema->fields().item(QStringLiteral("TABLE_NAME")).value(),
                                *schema->fields().item(QStringLiteral("TABLE_TYPE")).value());
            schema->MoveNext();
        }
        schema->Close();
        return result;
    }


    const dbaccess::ValueText text{QLocale::system()};
    const QString dp{QLocale::system().decimalPoint()};
};

QString connectionStringFor(const QString &database)
{
    return dbaccess::connectionString(
        dbaccess::enteredLogin(database, QStringLiteral("SYSDBA"), QStringLiteral("lanternox")));
}

QString sampleConnectionString()
{
    return connectionStringFor(QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb"));
}

TEST_F(DatabaseAccess, EveryTypeReadsAsExactTextAndNullsAsNull)
{
    auto database = ScratchDatabase::embedded(R"(
CREATE TABLE T (
  SI SMALLINT, I INTEGER, BI BIGINT, N NUMERIC(18,4), D DECIMAL(9,2), N1 NUMERIC(4,1),
  F FLOAT, DP DOUBLE PRECISION, B BOOLEAN, DT DATE, TM TIME, TS TIMESTAMP,
  C CHAR(5), VC VARCHAR(20), TXT BLOB SUB_TYPE TEXT, BIN BLOB SUB_TYPE BINARY,
  OC CHAR(4) CHARACTER SET OCTETS, OVC VARCHAR(8) CHARACTER SET OCTETS, DP2 DOUBLE PRECISION, F2 FLOAT);
INSERT INTO T VALUES (-32768, 2147483647, -9223372036854775808, 922337203685477.5807, -0.05, 12.0,
  0.1, 0.1, TRUE, '0005-03-09', '23:59:58.1230', '2024-02-29 00:00:00',
  'ab', 'x y ', 'line 1
line 2', x'00FF10', x'00FF7F41', x'0a', 1e-1 + 2e-1, 1e0 / 3e0);
INSERT INTO T VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
  NULL, NULL, NULL, NULL);
)");
    auto connection = open(database->connectionString());
    auto recordset = query(*connection, QStringLiteral("SELECT * FROM T"));
    const std::vector<int> types{ado::adSmallInt, ado::adInteger, ado::adBigInt, ado::adNumeric, ado::adNumeric,
                                 ado::adNumeric, ado::adSingle, ado::adDouble, ado::adBoolean, ado::adDBDate,
                                 ado::adDBTime, ado::adDBTimeStamp, ado::adChar, ado::adVarChar, ado::adLongVarChar,
                                 ado::adLongVarBinary, ado::adChar, ado::adVarChar, ado::adDouble, ado::adSingle};
    ASSERT_EQ(recordset->fields().count(), int(types.size()));
    for (int f = 0; f < int(types.size()); ++f)
        EXPECT_EQ((*recordset)[f].Type(), types[f]) << (*recordset)[f].Name().toStdString();
    EXPECT_EQ((*recordset)[0].Name(), "SI");

    const auto all = rows(*connection, QStringLiteral("SELECT * FROM T"));
    ASSERT_EQ(all.size(), 2u);
    const std::vector<QString> expected{
        "-32768", "2147483647", "-9223372036854775808", "922337203685477" + dp + "5807", "-0" + dp + "05",
        "12" + dp + "0", "0" + dp + "1", "0" + dp + "1", "True", text.date(5, 3, 9), text.time(23, 59, 58, 1230),
        text.timestamp(2024, 2, 29, 0, 0, 0, 0), "ab   ", "x y ", "line 1\nline 2", "00FF10", "00FF7F41", "0A",
        "0" + dp + "3", "0" + dp + "3333333"};
    for (std::size_t f = 0; f < expected.size(); ++f) {
        ASSERT_TRUE(all[0][f].has_value()) << f;
        EXPECT_EQ(*all[0][f], expected[f]) << f;
        EXPECT_FALSE(all[1][f].has_value()) << f;
    }
}

TEST_F(DatabaseAccess, TextOfEveryCharsetKeepsEveryByte)
{
    // Stored bytes, given as hex so no tool in between can touch them: UTF-8
    // and Latin-1 side by side in a NONE column, a Windows-1252 column with
    // its euro sign, a padded UTF-8 CHAR and a Windows-1252 text BLOB.
    const QByteArray script =
        "CREATE TABLE T (ID INTEGER, N VARCHAR(20), W VARCHAR(20) CHARACTER SET WIN1252, "
        "U VARCHAR(10) CHARACTER SET UTF8, UC CHAR(3) CHARACTER SET UTF8, TB BLOB SUB_TYPE TEXT CHARACTER SET WIN1252);\n"
        "INSERT INTO T VALUES (1, x'C3A56E67737472C3B66D', x'802035', x'C3A974C3A9', x'C3A9', x'80');\n"
        "INSERT INTO T VALUES (2, x'4D616C6DF6', x'636166E9', NULL, NULL, NULL);\n";
    auto database = ScratchDatabase::embedded(script, "NONE");
    auto connection = open(database->connectionString());
    const auto all = rows(*connection, QStringLiteral("SELECT N, W, U, UC, TB FROM T ORDER BY ID"));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(*all[0][0], QStringLiteral(u"ångström"));
    EXPECT_EQ(*all[0][1], QStringLiteral(u"€ 5"));
    EXPECT_EQ(*all[0][2], QStringLiteral(u"été"));
    EXPECT_EQ(*all[0][3], QStringLiteral(u"é  ")); // three characters, not twelve bytes of padding
    EXPECT_EQ(*all[0][4], QStringLiteral(u"€"));
    EXPECT_EQ(*all[1][0], QStringLiteral(u"Malmö"));
    EXPECT_EQ(*all[1][1], QStringLiteral(u"café"));
}

TEST_F(DatabaseAccess, LongAndShortTextBlobsReadWhole)
{
    auto database = ScratchDatabase::embedded(R"(
CREATE TABLE T (ID INTEGER, TXT BLOB SUB_TYPE TEXT);
INSERT INTO T VALUES (1, 'short');
INSERT INTO T VALUES (2, RPAD(CAST('' AS BLOB SUB_TYPE TEXT), 20000, 'abc'));
INSERT INTO T VALUES (3, '');
INSERT INTO T VALUES (4, RPAD(CAST('' AS BLOB SUB_TYPE TEXT), 8000, 'z'));
)");
    auto connection = open(database->connectionString());
    const auto all = rows(*connection, QStringLiteral("SELECT * FROM T ORDER BY ID"));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(*all[0][1], "short");
    EXPECT_EQ(all[1][1]->size(), 20000);
    EXPECT_TRUE(all[1][1]->startsWith("abcabc"));
    EXPECT_EQ(*all[2][1], "");
    EXPECT_EQ(*all[3][1], QString(8000, u'z'));
}

TEST_F(DatabaseAccess, OddTableNamesAreListedExactlyAndCanBeRead)
{
    auto database = ScratchDatabase::embedded(R"(
CREATE TABLE "ABC$ORDERS" (X INTEGER);
CREATE TABLE "A$B" (X INTEGER);
CREATE TABLE "WITH BLANKS  IN" (X INTEGER);
CREATE TABLE " LEADING" (X INTEGER);
CREATE TABLE "STOCK [2024]" (X INTEGER);
CREATE TABLE "SAY ""HI""" (X INTEGER);
CREATE TABLE "lower" (X INTEGER);
CREATE TABLE AB (X INTEGER);
CREATE VIEW V AS SELECT X FROM AB;
INSERT INTO "STOCK [2024]" VALUES (7);
)");
    auto connection = open(database->connectionString());
    const auto listed = tables(*connection);
    std::vector<std::pair<QString, QString>> user;
    int systemTables = 0;
    for (const auto &entry : listed) {
        if (entry.second == "SYSTEM TABLE") {
            ++systemTables;
            EXPECT_TRUE(user.empty()) << "system tables come first";
        } else {
            user.push_back(entry);
        }
    }
    EXPECT_GT(systemTables, 40);
    const std::vector<std::pair<QString, QString>> expected{
        {" LEADING", "TABLE"}, {"A$B", "TABLE"}, {"AB", "TABLE"}, {"ABC$ORDERS", "TABLE"}, {"SAY \"HI\"", "TABLE"},
        {"STOCK [2024]", "TABLE"}, {"WITH BLANKS  IN", "TABLE"}, {"lower", "TABLE"}, {"V", "VIEW"}};
    EXPECT_EQ(user, expected);

    EXPECT_EQ(*rows(*connection, QStringLiteral("SELECT * FROM \"STOCK [2024]\""))[0][0], "7");
    EXPECT_EQ(rows(*connection, QStringLiteral("SELECT * FROM \"SAY \"\"HI\"\"\"")).size(), 0u);
    EXPECT_EQ(rows(*connection, QStringLiteral("SELECT * FROM \" LEADING\"")).size(), 0u);
}

TEST_F(DatabaseAccess, RecordsetFollowsTheAdoLifecycle)
{
    auto database = ScratchDatabase::embedded("CREATE TABLE T (ID INTEGER, NAME VARCHAR(5));\n"
                                              "INSERT INTO T VALUES (1, 'one');\n");
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    EXPECT_EQ(connection->state(), ado::adStateClosed);
    connection->setCursorLocation(ado::adUseClient);
    connection->setMode(ado::adModeReadWrite);
    connection->Open(database->connectionString());
    EXPECT_EQ(connection->state(), ado::adStateOpen);

    auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
    EXPECT_EQ(recordset->state(), ado::adStateClosed);
    recordset->Open(QStringLiteral("SELECT * FROM T"), *connection);
    EXPECT_EQ(recordset->state(), ado::adStateOpen);
    EXPECT_EQ(*recordset->fields().item(QStringLiteral("name")).value(), "one");
    EXPECT_NE(failureOf([&] { recordset->fields().item(QStringLiteral("NOPE")); }), "(no failure)");
    EXPECT_NE(failureOf([&] { (*recordset)[2]; }), "(no failure)");
    recordset->MoveNext();
    EXPECT_TRUE(recordset->Eof());
    EXPECT_NE(failureOf([&] { recordset->MoveNext(); }), "(no failure)");
    EXPECT_NE(failureOf([&] { (*recordset)[0].value(); }), "(no failure)");
    recordset->Close();
    EXPECT_EQ(recordset->state(), ado::adStateClosed);

    // Reopened after Close, as the export does for every table.
    recordset->Open(QStringLiteral("SELECT * FROM T WHERE ID = 2"), *connection);
    EXPECT_TRUE(recordset->Eof());
    EXPECT_EQ(recordset->RecordCount(), 0);

    connection->Close();
    EXPECT_EQ(connection->state(), ado::adStateClosed);
    EXPECT_EQ(failureOf([&] { recordset->MoveNext(); }), "The connection to the database is closed.");
    EXPECT_THROW(recordset->MoveNext(), components::ConnectionLost) << "a closed connection is a database gone";
    EXPECT_THROW(query(*connection, QStringLiteral("SELECT * FROM T")), components::ConnectionLost);
}

// A value the engine cannot compute costs its cell, not the rows after it:
// it reads as null, the recordset's warning names its column and record,
// and every other value reads as it would have, in a table's computed
// column and in a view alike, through the engine and through the file reader
// (which hands both to the engine on a private copy).
TEST_F(DatabaseAccess, AValueThatCannotBeComputedReadsAsNullAndTheRowsGoOn)
{
    auto database = ScratchDatabase::embedded(R"(
CREATE TABLE NUMS (A INTEGER, B INTEGER, NOTE BLOB SUB_TYPE TEXT, Q COMPUTED BY (A / B));
INSERT INTO NUMS (A, B, NOTE) VALUES (1, 1, 'one');
INSERT INTO NUMS (A, B, NOTE) VALUES (1, 0, 'zero');
INSERT INTO NUMS (A, B, NOTE) VALUES (6, 3, 'six');
INSERT INTO NUMS (A, B, NOTE) VALUES (2, 0, 'two');
INSERT INTO NUMS (A, B, NOTE) VALUES (8, 4, 'eight');
CREATE VIEW V (A, R, B) AS SELECT A, 10 / B, B FROM NUMS;
CREATE TABLE FINE (A INTEGER, D COMPUTED BY (A * 2));
INSERT INTO FINE (A) VALUES (3);
)");
    using Rows = std::vector<std::vector<ado::Value>>;
    const auto none = ado::Value();
    struct Case {
        const char *table;
        Rows rows;
        const char *warningColumn;
    };
    const Case cases[] = {
        {"NUMS",
         {{"1", "1", "one", "1"}, {"1", "0", "zero", none}, {"6", "3", "six", "2"}, {"2", "0", "two", none},
          {"8", "4", "eight", "2"}},
         "\"Q\""},
        {"V", {{"1", "10", "1"}, {"1", none, "0"}, {"6", "3", "3"}, {"2", none, "0"}, {"8", "2", "4"}}, "\"R\""},
        {"FINE", {{"3", "6"}}, nullptr},
    };
    auto engine = open(database->connectionString());
    dbaccess::OdsConnection reader;
    reader.Open(database->connectionString());
    const std::pair<const char *, ado::Connection *> paths[] = {{"engine", engine.get()}, {"reader", &reader}};
    for (const auto &[path, connection] : paths) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(path) + " " + c.table);
            const QString sql = QStringLiteral("SELECT * FROM \"%1\"").arg(QLatin1String(c.table));
            auto recordset = query(*connection, sql);
            Rows read;
            for (long r = recordset->RecordCount(); r > 0; --r) {
                read.emplace_back();
                for (int f = 0; f < recordset->fields().count(); ++f)
                    read.back().push_back((*recordset)[f].value());
                recordset->MoveNext();
            }
            EXPECT_TRUE(recordset->Eof());
            EXPECT_EQ(read, c.rows);
            const QString warning = recordset->warning();
            if (c.warningColumn) {
                EXPECT_TRUE(warning.contains(QLatin1String(c.warningColumn)) && warning.contains(QLatin1String("record 2")))
                    << warning.toStdString();
            } else {
                EXPECT_EQ(warning, QString());
            }
        }
    }
}

// Reading on past a failed row opens the query again and passes over the
// rows before it. For each kind of view the rows then come as its twin that
// cannot fail gives them, the failed values empty; or the reading ends at
// the failure with the rows before it: never a row twice or one left out.
TEST_F(DatabaseAccess, ReadingOnPastAFailedRowKeepsTheRowsOfEveryKindOfView)
{
    QByteArray script = "CREATE TABLE N (ID INTEGER, B INTEGER, G INTEGER);\n"
                        "CREATE TABLE M (G INTEGER, LABEL VARCHAR(10));\n"
                        "INSERT INTO M VALUES (0, 'zero');\nINSERT INTO M VALUES (1, 'one');\n"
                        "INSERT INTO M VALUES (2, 'two');\n";
    for (int id = 1; id <= 40; ++id)
        script += "INSERT INTO N VALUES (" + QByteArray::number(id) + ", " + QByteArray::number(id % 7 == 3 ? 0 : id % 5)
            + ", " + QByteArray::number(id % 3) + ");\n";
    const char *kinds[][3] = {
        {"JOINED", "(ID, LABEL, R)", "SELECT N.ID, M.LABEL, 12 / %1 FROM N JOIN M ON M.G = N.G"},
        {"UNITED", "(ID, R)", "SELECT ID, 12 / %1 FROM N UNION ALL SELECT ID + 100, 24 / %1 FROM N"},
        {"ORDERED", "(G, ID, R)", "SELECT FIRST 100 G, ID, 12 / %1 FROM N ORDER BY G"},
        {"DISTINCTS", "(G, R)", "SELECT DISTINCT G, 12 / %1 FROM N"},
        {"GROUPED", "(G, S)", "SELECT G, SUM(12 / %1) FROM N GROUP BY G"},
    };
    for (const auto &[name, columns, select] : kinds) {
        script += QByteArray("CREATE VIEW ") + name + ' ' + columns + " AS " + QByteArray(select).replace("%1", "N.B")
            + ";\n";
        script += QByteArray("CREATE VIEW ") + name + "_TWIN " + columns + " AS "
            + QByteArray(select).replace("%1", "NULLIF(N.B, 0)") + ";\n";
    }
    auto database = ScratchDatabase::embedded(script);
    auto engine = open(database->connectionString());
    dbaccess::OdsConnection reader;
    reader.Open(database->connectionString());
    const std::pair<const char *, ado::Connection *> paths[] = {{"engine", engine.get()}, {"reader", &reader}};
    for (const auto &[path, connection] : paths) {
        for (const auto &kind : kinds) {
            const QString name = QString::fromLatin1(kind[0]);
            SCOPED_TRACE(std::string(path) + " " + kind[0]);
            const auto twin = rows(*connection, QStringLiteral("SELECT * FROM \"%1_TWIN\"").arg(name));
            std::vector<std::vector<ado::Value>> read;
            const QString failure = failureOf([&] {
                auto recordset = query(*connection, QStringLiteral("SELECT * FROM \"%1\"").arg(name));
                for (long r = recordset->RecordCount(); r > 0; --r) {
                    read.emplace_back();
                    for (int f = 0; f < recordset->fields().count(); ++f)
                        read.back().push_back((*recordset)[f].value());
                    recordset->MoveNext();
                }
            });
            const bool ended = failure != QStringLiteral("(no failure)");
            if (!ended)
                EXPECT_EQ(read, twin);
            else
                EXPECT_TRUE(read.size() <= twin.size() && std::equal(read.begin(), read.end(), twin.begin()))
                    << "ended at: " << failure.toStdString();
            // Joins and ORDER BY read on; a union, DISTINCT and GROUP BY end
            // at their one report.
            std::printf("[ measured ] %s %s: %zu of %zu rows%s\n", path, kind[0], read.size(), twin.size(),
                        ended ? ", then its one report" : "");
        }
    }
    reader.Close();
}

// In dialect 1 a quoted name is a string, and the program quotes every name.
// Its DATE holds a time too; its NUMERIC(15,2) is a scaled double.
TEST_F(DatabaseAccess, Dialect1TablesAndViewsReadThroughQuotedNames)
{
    auto database = ScratchDatabase::embedded(R"(
CREATE TABLE T (D DATE, N NUMERIC(15,2), M NUMERIC(9,2), S VARCHAR(20), C COMPUTED BY (M * 2));
INSERT INTO T (D, N, M, S) VALUES ('2001-02-03 04:05:06', 12.25, 4.5, "double quoted");
CREATE VIEW V AS SELECT S, D FROM T;
)", "UTF8", 1);
    auto connection = open(database->connectionString());
    const auto table = rows(*connection, QStringLiteral("SELECT * FROM \"T\""));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(*table[0][0], text.timestamp(2001, 2, 3, 4, 5, 6, 0));
    EXPECT_EQ(*table[0][1], "12" + dp + "25");
    EXPECT_EQ(*table[0][2], "4" + dp + "50");
    EXPECT_EQ(*table[0][3], "double quoted");
    EXPECT_EQ(*table[0][4], "9" + dp + "00");
    const auto view = rows(*connection, QStringLiteral("SELECT * FROM \"V\""));
    ASSERT_EQ(view.size(), 1u);
    EXPECT_EQ(*view[0][0], "double quoted");
}

TEST_F(DatabaseAccess, AQueryThatFailsSaysWhy)
{
    auto database = ScratchDatabase::embedded("CREATE TABLE T (ID INTEGER);\n");
    auto connection = open(database->connectionString());
    const QString failure = failureOf([&] { query(*connection, QStringLiteral("SELECT * FROM \"MISSING\"")); });
    EXPECT_TRUE(failure.startsWith("The table does not exist")) << failure.toStdString();
    EXPECT_TRUE(failure.contains("MISSING")) << failure.toStdString();
}

TEST_F(DatabaseAccess, EmbeddedOpenFailuresAreDescribed)
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("missing.fdb"));
    EXPECT_EQ(failureOf([&] { open(connectionStringFor(missing)); }),
              QStringLiteral("The database file \"%1\" does not exist.").arg(missing));

    const QString notADatabase = folder.filePath(QStringLiteral("notes.fdb"));
    QFile file(notADatabase);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(16384, 'x'));
    file.close();
    EXPECT_EQ(failureOf([&] { open(connectionStringFor(notADatabase)); }),
              QStringLiteral("The file \"%1\" is not a Firebird or InterBase database.").arg(notADatabase));
}

TEST_F(DatabaseAccess, SampleDatabaseHoldsTheShop)
{
    auto connection = open(sampleConnectionString());
    std::vector<QString> userTables;
    for (const auto &[name, type] : tables(*connection))
        if (type != "SYSTEM TABLE")
            userTables.push_back(name + u' ' + type);
    const std::vector<QString> expected{"CUSTOMERS TABLE", "EMPLOYEES TABLE", "ORDERS TABLE", "ORDER_LINES TABLE",
                                        "PRODUCTS TABLE", "STOCK [WAREHOUSE 1] TABLE", "CUSTOMER_ORDER_TOTALS VIEW"};
    EXPECT_EQ(userTables, expected);

    EXPECT_EQ(query(*connection, QStringLiteral("SELECT * FROM \"ORDERS\""))->RecordCount(), 1000);
    EXPECT_EQ(query(*connection, QStringLiteral("SELECT * FROM \"ORDER_LINES\""))->RecordCount(), 3000);

    const auto customers = rows(*connection, QStringLiteral("SELECT * FROM \"CUSTOMERS\""));
    ASSERT_EQ(customers.size(), 10u);
    EXPECT_EQ(*customers[1][1], QStringLiteral(u"Jürgen Weiß"));
    EXPECT_EQ(*customers[1][5], "12500" + dp + "50");
    EXPECT_EQ(*customers[6][1], QStringLiteral(u"山田 太郎"));
    EXPECT_FALSE(customers[2][4].has_value());
    EXPECT_EQ(*customers[3][6], text.timestamp(2020, 5, 17, 17, 45, 12, 5000));

    auto products = query(*connection, QStringLiteral("SELECT * FROM \"PRODUCTS\""));
    EXPECT_EQ(products->fields().item(QStringLiteral("PICTURE")).Type(), ado::adLongVarBinary);
    auto employees = query(*connection, QStringLiteral("SELECT * FROM \"EMPLOYEES\""));
    EXPECT_EQ(employees->fields().item(QStringLiteral("NOTES")).Type(), ado::adLongVarChar);
    EXPECT_EQ(*employees->fields().item(QStringLiteral("BADGE")).value(), "9007199254740993");
}

// An installed sample is a read-only file owned by root; a normal user must
// read it without a lock folder of Firebird's own and without writing it.
TEST_F(DatabaseAccess, SampleDatabaseOpensForAnUnprivilegedUserFromAReadOnlyFile)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    QTemporaryDir folder;
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                             | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    const QString copy = folder.filePath(QStringLiteral("sample.fdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb"), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QByteArray before = [&] { QFile f(copy); f.open(QIODevice::ReadOnly); return f.readAll(); }();

    EXPECT_EXIT(
        {
            qunsetenv("FIREBIRD_LOCK");
            qunsetenv("XDG_RUNTIME_DIR");
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            try {
                auto connection = open(connectionStringFor(copy));
                const long orders = query(*connection, QStringLiteral("SELECT * FROM \"ORDERS\""))->RecordCount();
                _exit(orders == 1000 ? 0 : 4);
            } catch (const components::ComponentError &error) {
                fprintf(stderr, "%s\n", qPrintable(error.description()));
                _exit(5);
            }
        },
        ::testing::ExitedWithCode(0), "");
    QFile after(copy);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_TRUE(after.readAll() == before) << "the file was changed";
}

// The engine writes into every file it attaches and cannot attach one it may
// not write. A local ODS 12 file must come out as it went in, and a file the
// user may only read (not marked read-only inside) must read all the same.
const QByteArray tableAndView = "CREATE TABLE T (ID INTEGER, NAME VARCHAR(20));\n"
                                "INSERT INTO T VALUES (1, 'one');\n"
                                "CREATE VIEW V AS SELECT NAME FROM T;\n";

TEST_F(DatabaseAccess, AWritableOds12FileIsByteForByteUnchangedAfterReading)
{
    auto database = ScratchDatabase::embedded(tableAndView);
    const QByteArray before = fileDigest(database->file());
    const QDateTime modified = QFileInfo(database->file()).lastModified();
    auto connection = open(database->connectionString());
    EXPECT_EQ(tables(*connection).size(), 52u);
    EXPECT_EQ(*rows(*connection, QStringLiteral("SELECT * FROM \"T\""))[0][1], "one");
    EXPECT_EQ(*rows(*connection, QStringLiteral("SELECT * FROM \"V\""))[0][0], "one");
    connection->Close();
    EXPECT_TRUE(fileDigest(database->file()) == before) << "the file was changed";
    EXPECT_EQ(QFileInfo(database->file()).lastModified(), modified);
}

// The private copy serves one version of the file: a change to the file is
// read at the next Open, and the copy of the old version is gone.
TEST_F(DatabaseAccess, TheReadingFollowsTheFileWhenItChanges)
{
    auto database = ScratchDatabase::embedded(tableAndView);
    const auto namesIn = [&] {
        auto connection = open(database->connectionString());
        std::vector<QString> names;
        for (const auto &row : rows(*connection, QStringLiteral("SELECT * FROM \"V\"")))
            names.push_back(*row[0]);
        return names;
    };
    EXPECT_EQ(namesIn(), std::vector<QString>{"one"});
    database->run("INSERT INTO T VALUES (2, 'two');\n");
    EXPECT_EQ(namesIn(), (std::vector<QString>{"one", "two"}));
    const QDir copies(dbaccess::copiesFolder());
    const QString key = dbaccess::inspectLocalFile(database->file()).pathKey();
    EXPECT_EQ(copies.entryList({key + QStringLiteral("-*")}, QDir::Files).size(), 1);
}

// A test of its own: the death test's fresh process must not start an engine
// as root before it changes user (the engine would keep root's lock folder).
TEST_F(DatabaseAccess, AnOds12FileTheUserMayOnlyReadReadsAndStaysUnchanged)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    auto database = ScratchDatabase::embedded(tableAndView);
    QTemporaryDir folder;
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                             | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    const QString readable = folder.filePath(QStringLiteral("readable.fdb"));
    ASSERT_TRUE(QFile::copy(database->file(), readable));
    QFile::setPermissions(readable, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QByteArray before = fileDigest(readable);
    EXPECT_EXIT(
        {
            qunsetenv("FIREBIRD_LOCK");
            qunsetenv("XDG_RUNTIME_DIR");
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(3);
            try {
                auto connection = open(connectionStringFor(readable));
                const auto view = rows(*connection, QStringLiteral("SELECT * FROM \"V\""));
                _exit(view.size() == 1 && view[0][0] == QStringLiteral("one") ? 0 : 4);
            } catch (const components::ComponentError &error) {
                fprintf(stderr, "%s\n", qPrintable(error.description()));
                _exit(5);
            }
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fileDigest(readable) == before) << "the file was changed";
}

} // namespace

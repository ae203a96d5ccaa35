// Database files of every Firebird and InterBase version through the ADODB
// objects the program creates by name: real files made by other versions,
// and the on-disk reader against the engine on the same ODS 12 files.

#include "database_access.h"
#include "database_snapshot.h"
#include "firebird_connection.h"
#include "firebird_scratch_database.h"
#include "modern_copy.h"
#include "ods_connection.h"
#include "random_database.h"
#include "register_database_access.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using db_test::snapshot;

class DatabaseFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        embeddedLockFolder();
        registerDatabaseAccessComponents();
    }
};

QString connectionStringFor(const QString &file)
{
    return QStringLiteral("Provider=MSDASQL.1;Password=masterkey;Persist Security Info=True;User ID=SYSDBA;"
                          "Extended Properties=\"DRIVER={Firebird/InterBase(r) driver};UID=SYSDBA;Dbname=%1 ;CHARSET=NONE;\"")
        .arg(file);
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool userTable(const QString &, const QString &type)
{
    return type != QStringLiteral("SYSTEM TABLE");
}

// Only what the user made: the system tables differ from version to version.
db_test::DatabaseSnapshot userPart(db_test::DatabaseSnapshot all)
{
    std::erase_if(all.tables, [](const db_test::TableSnapshot &t) { return t.type == QStringLiteral("SYSTEM TABLE"); });
    return all;
}

// Real files of every version: each opens, lists and reads with no server,
// and its bytes are the same afterwards. A computed column written for
// InterBase's own tools ("|" joins strings there) cannot be evaluated: one
// report for its table, the others read. The damaged file is refused with a
// message that says so.
TEST_F(DatabaseFiles, EveryLegacyFileOpensListsAndExportsUnchanged)
{
    struct Case {
        const char *file;
        int userTables; // tables and views
        long userRows;
        QStringList failing;
        const char *refusal;
    };
    const Case cases[] = {
        {"ods10.0-dialect1-goods.fdb", 14, 3736, {}, nullptr},
        {"ods10.0-dialect1-msg.gdb", 8, 10882, {"SYSTEM_ERRORS"}, nullptr},
        {"ods10.0-dialect3-yachts.gdb", 0, 0, {}, nullptr},
        {"ods10.1-damaged.gdb", 0, 0, {}, "damaged"},
        {"ods11.0-core1331.fdb", 1, 2, {}, nullptr},
        {"ods11.1-employee.fdb", 11, 307, {}, nullptr},
        {"ods11.1-gbk.fdb", 1, 12, {}, nullptr},
        {"ods11.2-employee.fdb", 11, 305, {}, nullptr},
        {"ods11.2-schule.fdb", 39, 1, {}, nullptr},
        {"ods12.0-employee.fdb", 11, 307, {}, nullptr},
        {"ods13.0-employee.fdb", 4, 10, {}, nullptr},
        {"ods13.1-employee.fdb", 11, 537, {}, nullptr},
    };
    QTemporaryDir folder;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString file = db_test::legacyFixture(QString::fromLatin1(c.file), folder.path());
        ASSERT_FALSE(file.isEmpty());
        const QByteArray before = bytesOf(file);
        QString refusal;
        db_test::DatabaseSnapshot read;
        try {
            auto connection = components::create<ado::Connection>(ado::ConnectionClass);
            connection->Open(connectionStringFor(file));
            read = userPart(snapshot(*connection, userTable));
            connection->Close();
        } catch (const components::ComponentError &error) {
            refusal = error.description();
        }
        long rows = 0;
        QStringList failing;
        for (const auto &table : read.tables) {
            rows += long(table.rows.size());
            if (!table.failure.isEmpty()) {
                failing << table.name;
                EXPECT_TRUE(table.failure.contains(table.name)) << table.failure.toStdString();
            }
        }
        std::printf("[ measured ] %s: %zu tables and views, %ld rows%s\n", c.file, read.tables.size(), rows,
                    qPrintable(refusal.isEmpty() ? QString() : QStringLiteral("; refused: ") + refusal));
        if (c.refusal)
            EXPECT_TRUE(refusal.contains(QLatin1String(c.refusal))) << refusal.toStdString();
        else
            EXPECT_EQ(refusal, QString());
        EXPECT_EQ(int(read.tables.size()), c.userTables);
        EXPECT_EQ(rows, c.userRows);
        EXPECT_EQ(failing, c.failing);
        EXPECT_TRUE(bytesOf(file) == before) << "the file was changed";
    }

    // The reader reads whole tables; any other query is refused, clearly.
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(connectionStringFor(folder.filePath(QStringLiteral("ods11.1-employee.fdb"))));
    const auto failureOf = [&](const QString &sql) {
        return db_test::failureOf([&] {
            auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
            recordset->Open(sql, *connection);
        });
    };
    EXPECT_TRUE(failureOf(QStringLiteral("SELECT * FROM \"COUNTRY\" WHERE 1 = 1")).contains("reads whole tables only"));
    EXPECT_TRUE(failureOf(QStringLiteral("SELECT * FROM \"NO \"\"SUCH\"\" TABLE\"")).startsWith("The table does not exist"));
    EXPECT_EQ(failureOf(QStringLiteral("SELECT * FROM \"COUNTRY\"")), QStringLiteral("(no failure)"));
}

// The sample database as kept by other versions: the engine reads the ODS 12
// copy; the reader (with the rebuilt copy for views and computed columns)
// the others. Their owners changed some rows (the ODS 12 copy has two more
// countries, the Firebird 2 copies keep salaries in yen and lire, the
// Firebird 5 copy has rows added): those tables must match in their columns,
// every other table cell for cell. The ODS 13.0 file holds another schema
// under the same name and is left out.
TEST_F(DatabaseFiles, EmployeeCopiesOfOtherVersionsGiveTheCellsOfTheOds12Copy)
{
    struct Case {
        const char *file;
        QStringList changedTables;
    };
    const QStringList salaries{"COUNTRY", "EMPLOYEE", "JOB", "SALARY_HISTORY"};
    const Case cases[] = {
        {"ods11.1-employee.fdb", salaries},
        {"ods11.2-employee.fdb", salaries},
        {"ods13.1-employee.fdb", {"COUNTRY", "DEPARTMENT", "EMPLOYEE", "EMPLOYEE_PROJECT", "JOB", "PROJECT", "PHONE_LIST"}},
    };
    QTemporaryDir folder;
    const auto read = [&](const char *name) {
        auto connection = components::create<ado::Connection>(ado::ConnectionClass);
        connection->Open(connectionStringFor(db_test::legacyFixture(QString::fromLatin1(name), folder.path())));
        auto all = userPart(snapshot(*connection, userTable));
        for (auto &table : all.tables)
            std::sort(table.rows.begin(), table.rows.end()); // each file keeps its rows in its own order
        return all;
    };
    const db_test::DatabaseSnapshot engine = read("ods12.0-employee.fdb");
    ASSERT_EQ(engine.tables.size(), 11u);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        db_test::DatabaseSnapshot reader = read(c.file);
        db_test::DatabaseSnapshot expected = engine;
        for (auto *side : {&reader, &expected})
            for (auto &table : side->tables)
                if (c.changedTables.contains(table.name)) {
                    table.rows.clear();
                    table.recordCount = 0;
                }
        EXPECT_EQ(db_test::differences(expected, reader), QStringList());
    }
}

// The reader and the engine on the same ODS 12 files give the same
// catalogue and the same cells, table for table (monitoring and security
// tables aside: they show the engine's own state). More seeds by hand:
// MARROWBECK_DIFFERENTIAL_SEED (the first) and MARROWBECK_DIFFERENTIAL_SEEDS
// (how many).
TEST_F(DatabaseFiles, ReaderAndEngineGiveTheSameCellsForOds12Files)
{
    struct Source {
        QString what;
        std::function<QString(const QString &folder)> make;
    };
    std::vector<std::unique_ptr<ScratchDatabase>> made;
    const auto scratch = [&made](const QByteArray &script, int pageSize, int dialect = 3) {
        return [&made, script, pageSize, dialect](const QString &) {
            made.push_back(ScratchDatabase::embedded(script, "UTF8", dialect, pageSize));
            return made.back()->file();
        };
    };
    std::vector<Source> sources{
        {QStringLiteral("the sample"), [](const QString &folder) {
             const QString copy = folder + QStringLiteral("/sample.fdb");
             QFile::copy(QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb"), copy);
             return copy;
         }},
        {QStringLiteral("BLOBs of every level"), scratch(db_test::randomDatabaseScript(0) + db_test::blobLevelsScript(), 4096)},
        {QStringLiteral("dialect 1"), scratch("CREATE TABLE P (D DATE, N NUMERIC(15,2), M NUMERIC(9,2), S VARCHAR(20), F FLOAT,"
                                              " B BLOB SUB_TYPE 1, C COMPUTED BY (M * 2));\n"
                                              "CREATE TABLE Q (D DATE, N NUMERIC(15,2), S CHAR(5));\n"
                                              "INSERT INTO P (D, N, M, S, F, B) VALUES ('2001-02-03 04:05:06', 12.25, 4.5,"
                                              " \"double quoted\", 1.5, 'text');\n"
                                              "INSERT INTO P (D) VALUES ('1899-12-31');\n"
                                              "INSERT INTO Q VALUES ('now', -0.07, 'x');\n"
                                              "CREATE VIEW V AS SELECT S, D FROM P;\n", 8192, 1)},
    };
    const unsigned first = qEnvironmentVariableIntValue("MARROWBECK_DIFFERENTIAL_SEED");
    const unsigned seeds = qEnvironmentVariableIsSet("MARROWBECK_DIFFERENTIAL_SEEDS")
        ? unsigned(qEnvironmentVariableIntValue("MARROWBECK_DIFFERENTIAL_SEEDS")) : 3;
    for (unsigned seed = first + 1; seed <= first + seeds; ++seed)
        sources.push_back({QStringLiteral("seed %1").arg(seed), scratch(db_test::randomDatabaseScript(seed), 8192)});

    const auto comparable = [](const QString &name, const QString &) {
        return !name.startsWith(QStringLiteral("MON$")) && !name.startsWith(QStringLiteral("SEC$"));
    };
    QTemporaryDir folder;
    for (const Source &source : sources) {
        SCOPED_TRACE(source.what.toStdString());
        const QString file = source.make(folder.path());
        const QByteArray before = bytesOf(file);
        const QString engineFile = folder.filePath(QStringLiteral("engine.fdb"));
        QFile::remove(engineFile);
        ASSERT_TRUE(QFile::copy(file, engineFile));
        QFile::setPermissions(engineFile, QFile::ReadOwner | QFile::WriteOwner);

        QElapsedTimer clock;
        clock.start();
        dbaccess::FirebirdConnection engine;
        engine.openFile(dbaccess::attachmentSettings(connectionStringFor(file)), engineFile);
        const db_test::DatabaseSnapshot expected = snapshot(engine, comparable);
        engine.Close();
        const qint64 engineMs = clock.restart();
        dbaccess::OdsConnection reader;
        reader.Open(connectionStringFor(file));
        const db_test::DatabaseSnapshot actual = snapshot(reader, comparable);
        reader.Close();
        const qint64 readerMs = clock.elapsed();

        // The copy rebuilt for the views and computed columns of files the
        // engine cannot open, made here from an ODS 12 file the engine can
        // also read: its tables and views give the same cells.
        const auto version = dbaccess::inspectLocalFile(file);
        const auto database = ods::Database::open(file);
        const dbaccess::ModernCopy rebuilt = dbaccess::rebuiltCopy(version, *database);
        EXPECT_TRUE(rebuilt.failures.empty()) << rebuilt.failures.begin()->second.toStdString();
        dbaccess::FirebirdConnection copy;
        copy.openFile(dbaccess::attachmentSettings(connectionStringFor(file)), rebuilt.path);
        EXPECT_EQ(db_test::differences(userPart(expected), userPart(snapshot(copy, userTable))), QStringList());
        copy.Close();

        long cells = 0;
        for (const auto &table : expected.tables)
            cells += long(table.rows.size() * table.fieldNames.size());
        std::printf("[ measured ] %s: %zu tables, %ld cells compared; read by the engine in %lld ms, by the reader in "
                    "%lld ms\n", qPrintable(source.what), expected.tables.size(), cells, static_cast<long long>(engineMs),
                    static_cast<long long>(readerMs));
        EXPECT_EQ(db_test::differences(expected, actual), QStringList());
        EXPECT_TRUE(bytesOf(file) == before) << "the reader changed the file";
    }
}

// Rows the reader cannot bring to their column's new type (the engine fails
// on them too) cost the copy rebuilt for views and computed columns only
// their own table and the views that use it, which must not show it empty.
TEST_F(DatabaseFiles, RowsTheReaderCannotConvertLoseOnlyTheirTableInTheRebuiltCopy)
{
    const auto made = ScratchDatabase::embedded("CREATE TABLE KEPT (ID INTEGER, C COMPUTED BY (ID + 1));\n"
                                                "CREATE TABLE OVERFLOWING (ID INTEGER, N SMALLINT);\nCOMMIT;\n"
                                                "INSERT INTO KEPT VALUES (1);\nINSERT INTO OVERFLOWING VALUES (1, 32767);\n"
                                                "COMMIT;\nALTER TABLE OVERFLOWING ALTER N TYPE NUMERIC(4,2);\nCOMMIT;\n"
                                                "CREATE VIEW OVERFLOWING_IDS AS SELECT ID FROM OVERFLOWING;\nCOMMIT;\n");
    const auto database = ods::Database::open(made->file());
    const dbaccess::ModernCopy rebuilt = dbaccess::rebuiltCopy(dbaccess::inspectLocalFile(made->file()), *database);
    ASSERT_EQ(rebuilt.failures.size(), 2u);
    EXPECT_TRUE(rebuilt.failures.at(QStringLiteral("OVERFLOWING")).contains(QLatin1String("\"N\"")))
        << rebuilt.failures.at(QStringLiteral("OVERFLOWING")).toStdString();
    EXPECT_EQ(rebuilt.failures.count(QStringLiteral("OVERFLOWING_IDS")), 1u);
    dbaccess::FirebirdConnection copy;
    copy.openFile(dbaccess::attachmentSettings(connectionStringFor(made->file())), rebuilt.path);
    const db_test::DatabaseSnapshot kept = userPart(snapshot(copy, userTable));
    copy.Close();
    const auto found = std::find_if(kept.tables.begin(), kept.tables.end(),
                                    [](const db_test::TableSnapshot &table) { return table.name == QLatin1String("KEPT"); });
    ASSERT_NE(found, kept.tables.end());
    EXPECT_EQ(found->rows.size(), 1u);
}

} // namespace

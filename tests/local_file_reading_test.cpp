// A local file read the way the program reads it: who may read which table,
// decided by the grants the file keeps, the same through the reader as
// through the engine; and a file another program writes while it is read.

#include "component_error.h"
#include "database_access.h"
#include "database_snapshot.h"
#include "firebird_connection.h"
#include "firebird_scratch_database.h"
#include "local_file.h"
#include "register_database_access.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>

namespace {

class LocalFileReading : public ::testing::Test {
protected:
    void SetUp() override
    {
        embeddedLockFolder();
        registerDatabaseAccessComponents();
    }
};

QString connectionStringFor(const QString &file, const QString &user, const QString &role = {})
{
    return QStringLiteral("Provider=MSDASQL.1;Password=anything;Persist Security Info=True;User ID=%2;"
                          "Extended Properties=\"DRIVER={Firebird/InterBase(r) driver};UID=%2;Dbname=%1 ;CHARSET=NONE;"
                          "Role=%3;\"").arg(file, user, role);
}

bool userTable(const QString &, const QString &type)
{
    return type != QStringLiteral("SYSTEM TABLE");
}

db_test::DatabaseSnapshot userPart(db_test::DatabaseSnapshot all)
{
    std::erase_if(all.tables, [](const db_test::TableSnapshot &t) { return t.type == QStringLiteral("SYSTEM TABLE"); });
    return all;
}

// The names of the tables read without a failure; every failure must be the
// refusal for want of a grant, which blames nothing but the grants.
QStringList readable(const db_test::DatabaseSnapshot &read)
{
    QStringList names;
    for (const auto &table : read.tables) {
        if (table.failure.isEmpty())
            names << table.name;
        else
            EXPECT_TRUE(table.failure.contains(QLatin1String("no permission to read it by the grants kept in the file.")))
                << table.failure.toStdString();
    }
    return names;
}

db_test::DatabaseSnapshot readThroughComponent(const QString &connectionString)
{
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(connectionString);
    db_test::DatabaseSnapshot read = userPart(db_test::snapshot(*connection, userTable));
    connection->Close();
    return read;
}

// A Firebird 3 file owned by DBOWNER with a table of TABOWNER's: the engine on
// a copy of it and the component on the file itself refuse the same tables
// to the same user and role; a role counts only when named and held.
TEST_F(LocalFileReading, TheGrantsInTheFileDecideWhoReadsWhatWhicheverWayItIsRead)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("grants.fdb"));
    const QByteArray name = file.toUtf8();
    runIsql("CREATE DATABASE '" + name + "' USER 'DBOWNER' PAGE_SIZE 4096;\n"
            "CREATE TABLE DIRECT (A INTEGER); CREATE TABLE EVERYONE (A INTEGER); CREATE TABLE BY_ROLE (A INTEGER);\n"
            "CREATE TABLE SECRET (A INTEGER, B COMPUTED BY (A * 2));\n"
            "CREATE VIEW SECRET_VIEW AS SELECT A FROM SECRET;\n"
            "INSERT INTO DIRECT VALUES (1); INSERT INTO EVERYONE VALUES (2); INSERT INTO BY_ROLE VALUES (3);\n"
            "INSERT INTO SECRET VALUES (4);\n"
            "CREATE ROLE READER;\n"
            "GRANT SELECT ON DIRECT TO GUEST; GRANT SELECT ON EVERYONE TO PUBLIC; GRANT SELECT ON BY_ROLE TO READER;\n"
            "GRANT SELECT ON SECRET_VIEW TO GUEST; GRANT READER TO GUEST; GRANT RDB$ADMIN TO BOSS;\n"
            "GRANT INSERT, UPDATE, DELETE ON SECRET TO GUEST; GRANT CREATE TABLE TO TABOWNER;\n"
            "COMMIT;\n"
            "CONNECT '" + name + "' USER 'TABOWNER';\n"
            "CREATE TABLE MINE (A INTEGER); INSERT INTO MINE VALUES (5);\n",
            "UTF8");
    const QStringList everything{"BY_ROLE", "DIRECT", "EVERYONE", "MINE", "SECRET", "SECRET_VIEW"};
    const struct {
        const char *user;
        const char *role;
        QStringList readable;
    } cases[] = {
        {"SYSDBA", "", everything},
        {"DBOWNER", "", everything},
        {"TABOWNER", "", {"EVERYONE", "MINE"}},
        {"GUEST", "", {"DIRECT", "EVERYONE", "SECRET_VIEW"}},
        {"guest", "", {"DIRECT", "EVERYONE", "SECRET_VIEW"}},
        {"GUEST", "reader", {"BY_ROLE", "DIRECT", "EVERYONE", "SECRET_VIEW"}},
        {"NOBODY", "READER", {"EVERYONE"}},
        {"BOSS", "", {"EVERYONE"}},
        {"BOSS", "RDB$ADMIN", everything},
        {"GUEST", "RDB$ADMIN", {"DIRECT", "EVERYONE", "SECRET_VIEW"}},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(std::string(each.user) + " role " + each.role);
        const QString connectionString = connectionStringFor(file, QLatin1String(each.user), QLatin1String(each.role));
        const QString copy = folder.filePath(QStringLiteral("engine.fdb"));
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(file, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        dbaccess::FirebirdConnection engine;
        engine.openFile(dbaccess::parseLogin(connectionString), copy);
        const db_test::DatabaseSnapshot expected = userPart(db_test::snapshot(engine, userTable));
        engine.Close();
        const db_test::DatabaseSnapshot actual = readThroughComponent(connectionString);
        EXPECT_EQ(readable(expected), each.readable);
        EXPECT_EQ(db_test::differences(expected, actual), QStringList());
    }

    // Files of other versions keep their grants the same way: the school's
    // tables are SYSDBA's alone, the employee file of Firebird 2.1 grants
    // every table and view to PUBLIC; the Firebird 3 one too, read both ways.
    const auto names = [](const db_test::DatabaseSnapshot &read) {
        QStringList all;
        for (const auto &table : read.tables)
            all << table.name;
        return all;
    };
    const QString school = db_test::legacyFixture(QStringLiteral("ods11.2-schule.fdb"), folder.path());
    const QString employee = db_test::legacyFixture(QStringLiteral("ods11.1-employee.fdb"), folder.path());
    const db_test::DatabaseSnapshot bySysdba = readThroughComponent(connectionStringFor(school, QStringLiteral("SYSDBA")));
    EXPECT_EQ(bySysdba.tables.size(), 39u);
    EXPECT_EQ(readable(bySysdba), names(bySysdba));
    EXPECT_EQ(readable(readThroughComponent(connectionStringFor(school, QStringLiteral("GUEST")))), QStringList());
    const db_test::DatabaseSnapshot byGuest = readThroughComponent(connectionStringFor(employee, QStringLiteral("GUEST")));
    EXPECT_EQ(byGuest.tables.size(), 11u);
    EXPECT_EQ(readable(byGuest), names(byGuest));

    const QString modern = db_test::legacyFixture(QStringLiteral("ods12.0-employee.fdb"), folder.path());
    const QString modernCopy = folder.filePath(QStringLiteral("employee-engine.fdb"));
    ASSERT_TRUE(QFile::copy(modern, modernCopy));
    dbaccess::FirebirdConnection engine;
    engine.openFile(dbaccess::parseLogin(connectionStringFor(modern, QStringLiteral("GUEST"))), modernCopy);
    const db_test::DatabaseSnapshot expected = userPart(db_test::snapshot(engine, userTable));
    engine.Close();
    EXPECT_EQ(readable(expected), names(expected));
    EXPECT_EQ(db_test::differences(expected, readThroughComponent(connectionStringFor(modern, QStringLiteral("GUEST")))),
              QStringList());
}

// Another program commits rows into the file while a large table is read:
// each read gives one state of the table (its record count, no row twice,
// no row half old and half new) or says plainly that the file changed or is
// in use; once the writer is done the whole table reads as the engine
// counts it. A newer state written in place mid-table is noticed.
TEST_F(LocalFileReading, AFileWrittenWhileItIsReadGivesOneStateOrSaysItChanged)
{
    const int rows = 100000;
    const auto database = ScratchDatabase::embedded(
        "CREATE TABLE BIG (ID INTEGER NOT NULL, V VARCHAR(40), W BIGINT);\n"
        "COMMIT;\n"
        "SET TERM ^;\n"
        "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= " + QByteArray::number(rows) + ") DO BEGIN"
        " INSERT INTO BIG VALUES (:I, 'row ' || :I, :I * 7); I = I + 1; END END^\n"
        "SET TERM ;^\n");
    const QString file = database->file();
    const QString connectionString = connectionStringFor(file, QStringLiteral("SYSDBA"));
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(connectionString);

    // Every round moves records (new versions, deletions, more rows) and
    // commits; each row keeps V and W derived from its ID.
    QByteArray script = "CONNECT '" + file.toUtf8() + "' USER 'SYSDBA';\n";
    for (int round = 0; round < 6; ++round) {
        const QByteArray r = QByteArray::number(round);
        script += "UPDATE BIG SET V = 'row ' || ID, W = ID * 7 WHERE MOD(ID, 400) = " + r + ";\n"
                  "DELETE FROM BIG WHERE MOD(ID, 997) = " + r + ";\n"
                  "INSERT INTO BIG SELECT ID + 1000000 * (" + r + " + 1), 'row ' || (ID + 1000000 * (" + r + " + 1)),"
                  " (ID + 1000000 * (" + r + " + 1)) * 7 FROM BIG WHERE ID BETWEEN 1 AND 300;\n"
                  "COMMIT;\n";
    }
    const QString before = file + QStringLiteral(".before");
    ASSERT_TRUE(QFile::copy(file, before));
    QProcess writer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FIREBIRD_LOCK"), QString::fromLocal8Bit(embeddedLockFolder()));
    writer.setProcessEnvironment(environment);
    writer.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-b")});
    ASSERT_TRUE(writer.waitForStarted(10000));
    writer.write(script + "QUIT;\n");
    writer.closeWriteChannel();

    const auto readBig = [&](ado::Connection &on, long *count) {
        std::vector<std::vector<ado::Value>> read;
        const QString failure = db_test::failureOf([&] {
            auto recordset = db_test::query(on, QStringLiteral("SELECT * FROM \"BIG\""));
            *count = recordset->RecordCount();
            for (; !recordset->Eof(); recordset->MoveNext())
                read.push_back({(*recordset)[0].value(), (*recordset)[1].value(),
                                (*recordset)[2].value()});
        });
        if (failure != QStringLiteral("(no failure)")) {
            EXPECT_TRUE(failure.contains(QLatin1String("another program changed"))
                        || failure.contains(QLatin1String("kept changing while it was being read"))
                        || failure.contains(QLatin1String("is in use by another program")))
                << failure.toStdString();
            return false;
        }
        EXPECT_EQ(long(read.size()), *count);
        std::set<long long> ids;
        for (const auto &row : read) {
            const long long id = row[0]->toLongLong();
            EXPECT_TRUE(ids.insert(id).second) << "row " << id << " read twice";
            EXPECT_EQ(*row[1], QStringLiteral("row %1").arg(id));
            EXPECT_EQ(row[2]->toLongLong(), id * 7);
        }
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    int whileWriting = 0;
    int consistent = 0;
    while (writer.state() != QProcess::NotRunning && !::testing::Test::HasFailure()) {
        long count = 0;
        consistent += readBig(*connection, &count);
        ++whileWriting;
        writer.waitForFinished(20);
    }
    ASSERT_TRUE(writer.state() == QProcess::NotRunning || writer.waitForFinished(120000));
    EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().constData();
    std::printf("[ measured ] %d reads in %lld ms while another program wrote, %d of them one whole state\n",
                whileWriting, static_cast<long long>(clock.elapsed()), consistent);
    EXPECT_GT(whileWriting, 0);

    // A writer that takes no lock (a copying tool, an engine sharing the
    // file): the newer state lands in place in the middle of a table.
    const QString moved = file + QStringLiteral(".moved");
    ASSERT_TRUE(QFile::copy(before, moved));
    QFile newer(file);
    ASSERT_TRUE(newer.open(QIODevice::ReadOnly));
    const QByteArray newerBytes = newer.readAll();
    auto overwritten = components::create<ado::Connection>(ado::ConnectionClass);
    overwritten->Open(connectionStringFor(moved, QStringLiteral("SYSDBA")));
    const QString failure = db_test::failureOf([&] {
        auto recordset = db_test::query(*overwritten, QStringLiteral("SELECT * FROM \"BIG\""));
        for (long r = 0; !recordset->Eof(); ++r, recordset->MoveNext())
            if (r == 1000) {
                QFile inPlace(moved);
                ASSERT_TRUE(inPlace.open(QIODevice::ReadWrite));
                ASSERT_EQ(inPlace.write(newerBytes), newerBytes.size());
            }
    });
    EXPECT_TRUE(failure.contains(QLatin1String("another program changed"))) << failure.toStdString();
    long movedCount = 0;
    EXPECT_TRUE(readBig(*overwritten, &movedCount)); // afresh, in its new state
    overwritten->Close();

    long count = 0;
    ASSERT_TRUE(readBig(*connection, &count));
    EXPECT_EQ(count, movedCount);
    dbaccess::FirebirdConnection engine;
    engine.Open(connectionString);
    auto counted = db_test::query(engine, QStringLiteral("SELECT COUNT(*) FROM BIG"));
    EXPECT_EQ(QString::number(count), *(*counted)[0].value());
    counted->Close();
    engine.Close();
    connection->Close();
}

} // namespace

// A legacy file's views are read from a copy rebuilt over minutes; another
// program that writes the file meanwhile must not get a copy of two states
// believed for good. The user is told, nothing is filed, and the next read
// makes a copy of the new state; a later change drops the session's copy.
TEST_F(LocalFileReading, ACopyRebuiltWhileAnotherProgramWritesIsNotKeptAndTheNextReadMakesItAfresh)
{
    QTemporaryDir folder;
    const QString file = db_test::legacyFixture(QStringLiteral("ods11.2-employee.fdb"), folder.path());
    QFile original(file);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    original.close();
    // A commit as the file shows it: a page written again, its time moved.
    const auto commit = [&] {
        QFile written(file);
        ASSERT_TRUE(written.open(QIODevice::ReadWrite));
        ASSERT_EQ(written.write(bytes.first(4096)), 4096);
    };
    struct CommitHalfWay : ado::PreparationProgress {
        std::function<void()> commit;
        int commits = 0;
        void preparing(const QString &, int percent) override
        {
            if (percent >= 30 && percent < 100 && commits == 0) {
                ++commits;
                commit();
            }
        }
        void prepared() override {}
    };
    const auto progress = std::make_shared<CommitHalfWay>();
    progress->commit = commit;
    const QString pathKey = dbaccess::inspectLocalFile(file).pathKey();
    const auto copies = [&] {
        return QDir(dbaccess::copiesFolder()).entryList({pathKey + QStringLiteral("-*")}, QDir::Files)
            .filter(QRegularExpression(QStringLiteral("\\.fdb$|\\.part")));
    };
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(connectionStringFor(file, QStringLiteral("SYSDBA")));
    connection->setPreparationProgress(progress);
    const auto phoneList = [&] {
        long rows = 0;
        const QString failure = db_test::failureOf([&] {
            auto recordset = db_test::query(*connection, QStringLiteral("SELECT * FROM \"PHONE_LIST\""));
            for (; !recordset->Eof(); recordset->MoveNext())
                ++rows;
        });
        return failure == QStringLiteral("(no failure)") ? QString::number(rows) : failure;
    };

    const QString changed = phoneList();
    EXPECT_EQ(progress->commits, 1);
    EXPECT_TRUE(changed.contains(QLatin1String("changed while its private copy"))) << changed.toStdString();
    EXPECT_EQ(copies(), QStringList()) << "a copy of two states was kept";

    const QString rows = phoneList();
    EXPECT_EQ(rows.toLong(), 42) << rows.toStdString();
    const QString fresh = dbaccess::copyFileName(dbaccess::inspectLocalFile(file), QStringLiteral("rebuilt"));
    EXPECT_EQ(copies(), QStringList{QFileInfo(fresh).fileName()});

    progress->commits = 1; // the next commit comes between reads, not during one
    commit();
    EXPECT_EQ(phoneList(), rows);
    const QString next = dbaccess::copyFileName(dbaccess::inspectLocalFile(file), QStringLiteral("rebuilt"));
    EXPECT_NE(next, fresh);
    EXPECT_EQ(copies(), QStringList{QFileInfo(next).fileName()}) << "the session kept reading its old copy";
    connection->Close();
    QFile::remove(next + QStringLiteral(".failures.json"));
    QFile::remove(next);
    QFile after(file);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_TRUE(after.readAll() == bytes);
}

// A file that is no longer the one opened (deleted, or another database put
// in its place) is the database gone, which ends an export once, not a
// failure of each table still to come.
TEST_F(LocalFileReading, AFileDeletedOrReplacedAfterOpeningIsTheDatabaseGone)
{
    const auto other = ScratchDatabase::embedded("CREATE TABLE T (ID INTEGER);\nINSERT INTO T VALUES (2);\n");
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "deleted");
        const auto database = ScratchDatabase::embedded("CREATE TABLE T (ID INTEGER);\nINSERT INTO T VALUES (1);\n");
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("shop.fdb"));
        ASSERT_TRUE(QFile::copy(database->file(), file));
        auto connection = components::create<ado::Connection>(ado::ConnectionClass);
        connection->Open(connectionStringFor(file, QStringLiteral("SYSDBA")));
        auto recordset = components::create<ado::Recordset>(ado::RecordsetClass);
        recordset->Open(QStringLiteral("SELECT * FROM \"T\""), *connection);
        recordset->Close();

        ASSERT_TRUE(QFile::remove(file));
        if (replaced) {
            ASSERT_TRUE(QFile::copy(other->file(), file));
        }
        EXPECT_THROW(recordset->Open(QStringLiteral("SELECT * FROM \"T\""), *connection), components::ConnectionLost);
        connection->Close();
    }
}

// A database Firebird 3 keeps in three files, and its shadow in two, moved
// to folders of their own: read through the ADODB objects the program
// creates by name, each gives what the engine gave where it was made; a
// file left behind costs the tables it holds, each said once.

#include "database_access.h"
#include "database_snapshot.h"
#include "file_digest.h"
#include "firebird_connection.h"
#include "firebird_scratch_database.h"
#include "register_database_access.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {

QString connectionStringFor(const QString &file)
{
    return QStringLiteral("Provider=MSDASQL.1;Password=masterkey;Persist Security Info=True;User ID=SYSDBA;"
                          "Extended Properties=\"DRIVER={Firebird/InterBase(r) driver};UID=SYSDBA;Dbname=%1 ;CHARSET=NONE;\"")
        .arg(file);
}

// EARLY fills pages of the primary file only; SPANNING's rows (with text
// BLOBs) run on through the second file into the third, where LATE's lie.
QByteArray madeIn(const QDir &folder)
{
    const auto at = [&](const char *name) { return "'" + folder.filePath(QString::fromLatin1(name)).toUtf8() + "'"; };
    return "CREATE DATABASE " + at("main.fdb") + " USER 'SYSDBA' PASSWORD 'masterkey' PAGE_SIZE 4096"
           " DEFAULT CHARACTER SET NONE FILE " + at("second.fdb") + " STARTING AT 300 FILE " + at("third.fdb") +
           " STARTING AT 600;\n"
           "CREATE TABLE EARLY (ID INTEGER, V VARCHAR(40));\n"
           "CREATE TABLE SPANNING (ID INTEGER, V VARCHAR(200), B BLOB SUB_TYPE TEXT);\n"
           "CREATE TABLE LATE (ID INTEGER, V VARCHAR(40));\n"
           "CREATE VIEW EARLY_VIEW AS SELECT ID, V FROM EARLY;\n"
           "CREATE VIEW LATE_VIEW AS SELECT ID, V FROM LATE;\n"
           "COMMIT;\n"
           "SET TERM ^;\n"
           "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN\n"
           "  WHILE (I < 200) DO BEGIN INSERT INTO EARLY VALUES (:I, 'early ' || :I); I = I + 1; END\n"
           "  I = 0;\n"
           "  WHILE (I < 3000) DO BEGIN\n"
           "    INSERT INTO SPANNING VALUES (:I, LPAD('', 150, 'abc') || :I, LPAD('', 3000 + MOD(:I, 7), 'blob') || :I);\n"
           "    I = I + 1;\n"
           "  END\n"
           "  I = 0;\n"
           "  WHILE (I < 300) DO BEGIN INSERT INTO LATE VALUES (:I, 'late ' || :I); I = I + 1; END\n"
           "END^\n"
           "SET TERM ;^\n"
           "COMMIT;\n";
}

QByteArray shadowIn(const QDir &folder)
{
    const auto at = [&](const char *name) { return "'" + folder.filePath(QString::fromLatin1(name)).toUtf8() + "'"; };
    return "CONNECT " + at("main.fdb") + " USER 'SYSDBA' PASSWORD 'masterkey';\n"
           "CREATE SHADOW 1 " + at("main.shd") + " FILE " + at("main2.shd") + " STARTING AT 700;\n";
}

db_test::DatabaseSnapshot userPart(db_test::DatabaseSnapshot all)
{
    std::erase_if(all.tables, [](const db_test::TableSnapshot &t) { return t.type == QStringLiteral("SYSTEM TABLE"); });
    return all;
}

bool userTable(const QString &, const QString &type)
{
    return type != QStringLiteral("SYSTEM TABLE");
}

TEST(MultiFileDatabase, MovedItReadsWholeAndAFileLeftBehindCostsOnlyTheTablesInIt)
{
    embeddedLockFolder();
    registerDatabaseAccessComponents();
    auto made = std::make_unique<QTemporaryDir>();
    runIsql(madeIn(QDir(made->path())), "NONE");
    if (::testing::Test::HasFatalFailure())
        return;
    db_test::DatabaseSnapshot expected;
    {
        dbaccess::FirebirdConnection engine;
        const QString main = QDir(made->path()).filePath(QStringLiteral("main.fdb"));
        engine.openFile(dbaccess::parseLogin(connectionStringFor(main)), main);
        expected = userPart(db_test::snapshot(engine, userTable));
        engine.Close();
    }
    ASSERT_EQ(expected.tables.size(), 5u);
    // The database moved before it had a shadow: its copy for the engine
    // is its own pages; with a shadow it is rebuilt.
    QTemporaryDir moved;
    const auto move = [&] {
        for (const QString &name : QDir(made->path()).entryList(QDir::Files))
            if (!QFileInfo::exists(moved.filePath(name))) {
                ASSERT_TRUE(QFile::copy(QDir(made->path()).filePath(name), moved.filePath(name))) << name.toStdString();
            }
    };
    move();
    runIsql(shadowIn(QDir(made->path())), "NONE");
    move();
    for (const char *name : {"main.fdb", "second.fdb", "third.fdb"})
        ASSERT_TRUE(QFile::copy(QDir(made->path()).filePath(QString::fromLatin1(name)),
                                moved.filePath(QStringLiteral("shadowed-") + QString::fromLatin1(name))));
    // The names in the header pages lead nowhere from now on.
    made.reset();

    struct Case {
        const char *what;
        std::map<QString, QString> files; // as moved: the name it is put under
        const char *open;
        QStringList lost;                 // tables and views the missing file costs
        const char *missing = "";         // the file their reports name
    };
    const std::map<QString, QString> database{
        {"main.fdb", "main.fdb"}, {"second.fdb", "second.fdb"}, {"third.fdb", "third.fdb"}};
    const Case cases[] = {
        {"every file beside the primary", database, "main.fdb", {}},
        {"names in capitals, as a copy from Windows may have them",
         {{"main.fdb", "main.fdb"}, {"second.fdb", "SECOND.FDB"}, {"third.fdb", "Third.Fdb"}}, "main.fdb", {}},
        {"the third file missing", {{"main.fdb", "main.fdb"}, {"second.fdb", "second.fdb"}}, "main.fdb",
         {"LATE", "SPANNING", "LATE_VIEW"}, "third.fdb"},
        // The third file is named only in the second.
        {"the second file missing", {{"main.fdb", "main.fdb"}, {"third.fdb", "third.fdb"}}, "main.fdb",
         {"LATE", "SPANNING", "LATE_VIEW"}, "second.fdb"},
        {"the shadow opened on its own", {{"main.shd", "main.shd"}, {"main2.shd", "main2.shd"}}, "main.shd", {}},
        // The engine would not attach a copy whose shadow is gone.
        {"the database moved without its shadow",
         {{"shadowed-main.fdb", "main.fdb"}, {"shadowed-second.fdb", "second.fdb"}, {"shadowed-third.fdb", "third.fdb"}},
         "main.fdb", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        std::map<QString, QByteArray> digests;
        for (const auto &[from, to] : c.files) {
            ASSERT_TRUE(QFile::copy(moved.filePath(from), folder.filePath(to)));
            digests[to] = fileDigest(folder.filePath(to));
        }
        const auto readAll = [&] {
            db_test::DatabaseSnapshot read;
            EXPECT_EQ(db_test::failureOf([&] {
                          auto connection = db_test::open(connectionStringFor(folder.filePath(QString::fromLatin1(c.open))));
                          read = userPart(db_test::snapshot(*connection, userTable));
                          connection->Close();
                      }),
                      QStringLiteral("(no failure)"));
            return read;
        };
        db_test::DatabaseSnapshot read = readAll();
        QStringList lost;
        for (const auto &table : read.tables)
            if (!table.failure.isEmpty()) {
                lost << table.name;
                EXPECT_TRUE(table.failure.contains(QString::fromLatin1(c.missing))) << table.failure.toStdString();
            }
        EXPECT_EQ(lost, c.lost);
        db_test::DatabaseSnapshot whole = expected;
        for (auto *snapshot : {&whole, &read})
            std::erase_if(snapshot->tables, [&](const db_test::TableSnapshot &t) { return c.lost.contains(t.name); });
        EXPECT_EQ(db_test::differences(whole, read), QStringList());
        for (const auto &[name, digest] : digests)
            EXPECT_EQ(fileDigest(folder.filePath(name)), digest) << name.toStdString() << " was written";
        if (c.lost.isEmpty())
            continue;
        // Put in place while the program still runs, the missing file is read.
        for (const auto &[name, sameName] : database)
            if (!c.files.count(name)) {
                ASSERT_TRUE(QFile::copy(moved.filePath(name), folder.filePath(sameName)));
            }
        EXPECT_EQ(db_test::differences(expected, readAll()), QStringList());
    }
    // A file that continues a database, opened by mistake, is told as such
    // rather than as damage.
    for (const char *name : {"second.fdb", "main2.shd"})
        EXPECT_TRUE(db_test::failureOf([&] { db_test::open(connectionStringFor(moved.filePath(QString::fromLatin1(name)))); })
                        .contains(QStringLiteral("it is not the file the database starts with")))
            << name;
}

// Every header layout, on real files of the versions that use it: a file
// split into three the way its engine splits a database (each header page
// names the next file, as the machine that made it wrote the name, and the
// last page before it; a continuation opens with a header page of its own)
// reads as the whole file does.
TEST(MultiFileDatabase, LegacyFilesSplitIntoThreeReadAsTheWholeFile)
{
    registerDatabaseAccessComponents();
    struct Entries {
        int start;
        char file;
        char lastPage;
    };
    const auto entriesOf = [](const QByteArray &header) {
        const int word = uchar(header[18]) | uchar(header[19]) << 8;
        if (!(word & 0x8000) || (word & 0x7fff) < 12)
            return Entries{96, 3, 4};
        return (word & 0x7fff) == 12 ? Entries{132, 2, 3} : Entries{128, 2, 3};
    };
    // Appends the entries naming the next file to a header page.
    const auto nameNext = [&](QByteArray &header, const QByteArray &name, quint32 lastPage) {
        const Entries entries = entriesOf(header);
        int end = entries.start;
        while (header[end] != 0)
            end += 2 + uchar(header[end + 1]);
        QByteArray added = QByteArray(1, entries.file) + char(name.size()) + name + entries.lastPage + char(4);
        for (int shift = 0; shift < 32; shift += 8)
            added += char(lastPage >> shift);
        header.replace(end, added.size(), added);
        end += int(added.size());
        header[end] = 0;
        header[66] = char(end);
        header[67] = char(end >> 8);
    };
    for (const char *fixture : {"ods10.0-dialect1-goods.fdb", "ods11.2-employee.fdb", "ods13.1-employee.fdb"}) {
        SCOPED_TRACE(fixture);
        QTemporaryDir folder;
        const QString whole = db_test::legacyFixture(QString::fromLatin1(fixture), folder.path());
        QFile file(whole);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const int pageSize = uchar(bytes[16]) | uchar(bytes[17]) << 8;
        const qint64 pages = bytes.size() / pageSize;
        const qint64 firsts[] = {0, pages / 3, 2 * pages / 3, pages};
        // The second name in Windows' code page, its copy here in UTF-8.
        const QByteArray storedNames[] = {"", "C:\\DATA\\SPLIT\xC9.GD2", "C:\\DATA\\SPLIT.GD3"};
        const QString names[] = {QStringLiteral("split.gdb"), QStringLiteral("split\u00e9.gd2"), QStringLiteral("split.gd3")};
        for (int part = 0; part < 3; ++part) {
            QByteArray header = part == 0 ? bytes.left(pageSize) : QByteArray(pageSize, '\0');
            if (part > 0) {
                header[0] = 1;
                header.replace(16, 4, bytes.mid(16, 4));
                header[66] = char(entriesOf(header).start);
            }
            if (part < 2)
                nameNext(header, storedNames[part + 1], quint32(firsts[part + 1] - 1));
            QFile out(folder.filePath(names[part]));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(header);
            const qint64 from = part == 0 ? 1 : firsts[part];
            out.write(bytes.mid(from * pageSize, (firsts[part + 1] - from) * pageSize));
        }
        const auto read = [](const QString &path, QString *failure) {
            db_test::DatabaseSnapshot snapshot;
            *failure = db_test::failureOf([&] {
                auto connection = db_test::open(connectionStringFor(path));
                snapshot = userPart(db_test::snapshot(*connection, userTable));
                connection->Close();
            });
            return snapshot;
        };
        QString failure;
        const db_test::DatabaseSnapshot expected = read(whole, &failure);
        EXPECT_FALSE(expected.tables.empty());
        EXPECT_EQ(db_test::differences(expected, read(folder.filePath(names[0]), &failure)), QStringList());
        EXPECT_EQ(failure, QStringLiteral("(no failure)"));
        // Without its last file every table reads whole or is said lost for
        // that file, or the database is refused for it: none goes unsaid.
        ASSERT_TRUE(QFile::remove(folder.filePath(names[2])));
        const db_test::DatabaseSnapshot partial = read(folder.filePath(names[0]), &failure);
        if (failure != QStringLiteral("(no failure)")) {
            EXPECT_TRUE(failure.contains(QStringLiteral("SPLIT.GD3"))) << failure.toStdString();
            continue;
        }
        db_test::DatabaseSnapshot unlost = expected, kept = partial;
        for (const auto &table : partial.tables)
            if (!table.failure.isEmpty()) {
                EXPECT_TRUE(table.failure.contains(QStringLiteral("SPLIT.GD3"))) << table.failure.toStdString();
                for (auto *snapshot : {&unlost, &kept})
                    std::erase_if(snapshot->tables, [&](const auto &t) { return t.name == table.name; });
            }
        EXPECT_EQ(db_test::differences(unlost, kept), QStringList());
    }
}

} // namespace

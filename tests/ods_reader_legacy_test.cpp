// The on-disk structure reader on real files made by other Firebird and
// InterBase versions (ODS 10.0 to 13.1): each opens, lists its relations and
// reads every row and BLOB of every one, never writing the file; the damaged
// one ends in a clear message. Copies of the example database in other ODS
// read the values the ODS 12 copy holds.

#include "component_error.h"
#include "file_digest.h"
#include "ods_raw_rows.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

QString legacy(const char *name)
{
    return QStringLiteral(LEGACY_DATABASES "/") + QLatin1String(name);
}

// Reads everything the reader offers; the first failure, if any.
QString readEverything(const ods::Database &database, long long *rowsRead)
{
    for (const ods::Relation &relation : database.relations()) {
        try {
            const ods_test::RawTable rows = ods_test::readerTable(database, relation);
            if (database.count(relation) != (long long)rows.size())
                return relation.name + QStringLiteral(": count and rows differ");
            *rowsRead += (long long)rows.size();
        } catch (const components::ComponentError &error) {
            return relation.name + QStringLiteral(": ") + error.description();
        }
    }
    return {};
}

TEST(OdsReaderOnLegacyFiles, EveryFileOpensListsAndReadsWithoutBeingWritten)
{
    const struct {
        const char *file;
        int odsMajor;
        int odsMinor;
        int dialect;
        int userTables;
        long long userRows;   // rows of the user tables; -1: the file is damaged
    } cases[] = {
        {"ods10.0-dialect3-yachts.gdb", 10, 0, 3, 0, 0},
        {"ods10.0-dialect1-msg.gdb", 10, 0, 1, 8, 11571},
        {"ods10.0-dialect1-goods.fdb", 10, 0, 1, 14, 3736},
        {"ods10.1-damaged.gdb", 10, 1, 3, 0, -1},
        {"ods11.0-core1331.fdb", 11, 0, 3, 1, 2},
        {"ods11.1-employee.fdb", 11, 1, 3, 10, 265},
        {"ods11.1-gbk.fdb", 11, 1, 3, 1, 12},
        {"ods11.2-employee.fdb", 11, 2, 3, 10, 263},
        {"ods11.2-schule.fdb", 11, 2, 3, 39, 1},
        {"ods12.0-employee.fdb", 12, 0, 3, 10, 265},
        {"ods13.0-employee.fdb", 13, 0, 3, 4, 10},
        {"ods13.1-employee.fdb", 13, 1, 3, 10, 433},
    };
    QTemporaryDir folder;
    for (const auto &each : cases) {
        SCOPED_TRACE(each.file);
        // A copy only the owner may read, as on read-only media.
        const QString path = folder.filePath(QLatin1String(each.file));
        ASSERT_TRUE(QFile::copy(legacy(each.file), path));
        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
        const QByteArray before = fileDigest(path);

        const ods::FileFacts facts = ods::probe(path);
        EXPECT_EQ(facts.odsMajor, each.odsMajor);
        EXPECT_EQ(facts.odsMinor, each.odsMinor);
        EXPECT_EQ(facts.dialect, each.dialect);
        EXPECT_TRUE(facts.firebird);
        if (each.userRows < 0) {
            const QString failure = [&] {
                try {
                    ods::Database::open(path);
                } catch (const components::ComponentError &error) {
                    return error.description();
                }
                return QStringLiteral("(opened)");
            }();
            EXPECT_TRUE(failure.startsWith(QStringLiteral("The database file is damaged:"))) << failure.toStdString();
        } else {
            const std::unique_ptr<ods::Database> database = ods::Database::open(path);
            int userTables = 0;
            long long userRows = 0;
            for (const ods::Relation &relation : database->relations())
                if (!relation.system && !relation.view) {
                    ++userTables;
                    userRows += database->count(relation);
                }
            EXPECT_EQ(userTables, each.userTables);
            EXPECT_EQ(userRows, each.userRows);
            long long rowsRead = 0;
            EXPECT_EQ(readEverything(*database, &rowsRead).toStdString(), "");
            EXPECT_GT(rowsRead, userRows);
        }
        EXPECT_EQ(fileDigest(path), before);
    }
}

// The example database as ODS 12 holds it, table by table, and the same in
// another ODS: where a copy has the same rows, every value is the same.
TEST(OdsReaderOnLegacyFiles, EmployeeCopiesReadAsTheOds12Copy)
{
    const auto tables = [](const QString &path) {
        std::map<QString, ods_test::RawTable> read;
        const std::unique_ptr<ods::Database> database = ods::Database::open(path);
        for (const ods::Relation &relation : database->relations())
            if (!relation.system && !relation.view)
                read[relation.name] = ods_test::readerTable(*database, relation);
        return read;
    };
    const std::map<QString, ods_test::RawTable> reference = tables(legacy("ods12.0-employee.fdb"));
    const struct {
        const char *file;
        QStringList sameTables;   // the others hold data changed in that copy
    } cases[] = {
        {"ods11.1-employee.fdb",
         {"CUSTOMER", "DEPARTMENT", "EMPLOYEE_PROJECT", "PROJECT", "PROJ_DEPT_BUDGET", "SALES"}},
        {"ods11.2-employee.fdb",
         {"CUSTOMER", "DEPARTMENT", "EMPLOYEE_PROJECT", "PROJECT", "PROJ_DEPT_BUDGET", "SALES"}},
        {"ods13.1-employee.fdb", {"CUSTOMER", "PROJ_DEPT_BUDGET", "SALARY_HISTORY", "SALES"}},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.file);
        const std::map<QString, ods_test::RawTable> copy = tables(legacy(each.file));
        EXPECT_EQ(copy.size(), reference.size());
        for (const QString &name : each.sameTables) {
            ods_test::RawTable expected = reference.at(name);
            ods_test::RawTable read = copy.at(name);
            std::sort(expected.begin(), expected.end());
            std::sort(read.begin(), read.end());
            EXPECT_TRUE(read == expected) << name.toStdString();
        }
    }
}

// Files the reader cannot read say what they are, from the header alone.
TEST(OdsReaderOnLegacyFiles, FilesItCannotReadAreNamedForWhatTheyAre)
{
    QFile source(legacy("ods12.0-employee.fdb"));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray twoPages = source.read(2 * 8192);
    const auto patched = [&](int offset, QByteArray bytes, int minorAt = 0, char minor = 0) {
        QByteArray image = twoPages;
        image.replace(offset, bytes.size(), bytes);
        if (minorAt)
            image[minorAt] = minor;
        return image;
    };
    const struct {
        const char *what;
        QByteArray image;
        const char *message;
    } cases[] = {
        {"InterBase 7.5", patched(18, QByteArray("\x0b\x00", 2), 62, 2),
         "was made by InterBase 7.5 (on-disk structure 11.2), which this program cannot read. Open it with that "
         "InterBase version"},
        {"ODS 14 without the flag", patched(18, QByteArray("\x0e\x00", 2), 62, 0),
         "was made by an InterBase version between 2009 and XE (on-disk structure 14.0), which this program cannot "
         "read."},
        {"InterBase 3", patched(18, QByteArray("\x07\x00", 2), 62, 2),
         "was made by InterBase 3 or older (on-disk structure 7.2), which this program cannot read."},
        {"ODS 14", patched(18, QByteArray("\x0e\x80", 2), 64, 0),
         "was made by a Firebird version newer than 5.0 (on-disk structure 14.0), which this program cannot read."},
        {"encrypted", patched(42, QByteArray(1, char(twoPages[42] | 0x40))),
         "was made by Firebird 3.0 (on-disk structure 12.0) and is encrypted."},
        {"InterBase after 15", patched(18, QByteArray("\x14\x00", 2), 20, 1),
         "was made by an InterBase version newer than InterBase 15 (on-disk structure 20.1)"},
        {"ODS 9 with Firebird flag", patched(18, QByteArray("\x09\x80", 2)),
         "is not a Firebird or InterBase database file"},
        {"no header", patched(0, QByteArray(1, '\0')), "its header page is damaged"},
        {"odd page size", patched(16, QByteArray("\xe8\x03", 2)), "is not a Firebird or InterBase database file"},
        {"empty", QByteArray(), "is not a Firebird or InterBase database file"},
        {"header only", twoPages.left(8192), "The database file is damaged: the file ends after its header page"},
    };
    QTemporaryDir folder;
    for (const auto &each : cases) {
        SCOPED_TRACE(each.what);
        const QString path = folder.filePath(QLatin1String(each.what));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(each.image);
        file.close();
        QString failure = QStringLiteral("(opened)");
        try {
            ods::Database::open(path);
        } catch (const components::ComponentError &error) {
            failure = error.description();
        }
        EXPECT_TRUE(failure.contains(QLatin1String(each.message))) << failure.toStdString();
    }
}

} // namespace

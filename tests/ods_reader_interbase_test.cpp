// The on-disk structure reader on real files made by InterBase 2007 to the
// version after 2020 (ODS 12.0 to 19.0). The files have no open licence and
// stay outside the repository, next to the source tree; without them these
// tests are skipped. Each file opens read-only, lists its tables and reads
// every row and BLOB of every one, by itself and through the ADODB objects
// the program uses, and is unchanged afterwards. The same sample data kept
// by several versions reads the same wherever its owners left it alone.

#include "component_error.h"
#include "database_access.h"
#include "database_snapshot.h"
#include "file_digest.h"
#include "firebird_scratch_database.h"
#include "header_page.h"
#include "ods_raw_rows.h"
#include "register_database_access.h"
#include "system_layouts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {

const QString fixtures = QStringLiteral(MARROWBECK_SOURCE_DIR "/../shared/fixtures/interbase");

class InterBaseFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDir(fixtures).exists())
            GTEST_SKIP() << "The InterBase sample files are not here (" << fixtures.toStdString()
                         << "); they are kept out of the repository for want of a licence.";
        embeddedLockFolder();
        registerDatabaseAccessComponents();
    }

    // The file unpacked into a folder of its own, readable by its owner only.
    QString unpacked(const QString &name)
    {
        const QString target = m_folder.filePath(name);
        if (!QFile::exists(target)) {
            QProcess xz;
            xz.setStandardOutputFile(target);
            xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), fixtures + u'/' + name + QStringLiteral(".xz")});
            if (!xz.waitForFinished(60000) || xz.exitCode() != 0)
                return {};
            QFile::setPermissions(target, QFile::ReadOwner);
        }
        return target;
    }

    QTemporaryDir m_folder;
};

QString connectionStringFor(const QString &file)
{
    return QStringLiteral("Provider=MSDASQL.1;Password=masterkey;Persist Security Info=True;User ID=SYSDBA;"
                          "Extended Properties=\"DRIVER={Firebird/InterBase(r) driver};UID=SYSDBA;Dbname=%1 ;"
                          "CHARSET=NONE;\"")
        .arg(file);
}

struct Counts {
    int tables = 0;
    long long rows = 0;
};

TEST_F(InterBaseFiles, EveryFileOpensListsAndReadsEverythingUnchanged)
{
    // The EMPLOYEE table of intlemp.gdb is kept in a tablespace of its own,
    // a file not published with it: the reader says so for that table, and
    // the rebuilt copy for it and the view that uses it.
    const QStringList elsewhere{"EMPLOYEE"};
    const QStringList elsewhereThroughCopy{"EMPLOYEE", "PHONE_LIST"};
    const struct {
        const char *file;
        int odsMajor;
        int odsMinor;
        unsigned pageSize;
        Counts user;          // tables the user made, and the rows of those read
        int views;
        QStringList failing;  // tables the reader cannot read
        QStringList failingThroughAdo;
        const char *someCell = nullptr;   // text a cell holds (UTF-8 here), read through ADODB
    } cases[] = {
        {"ods12.0-ps4096-ib2007-leak2.ib", 12, 0, 4096, {5, 1860}, 0, {}, {}},
        {"ods12.0-ps4096-ib2007-leak3.ib", 12, 0, 4096, {5, 30959}, 0, {}, {}},
        {"ods12.0-ps4096-ib2007-leak4.ib", 12, 0, 4096, {5, 34793}, 0, {}, {}},
        {"ods13.1-ps8192-dbutilstest.ib", 13, 1, 8192, {1, 0}, 0, {}, {}},
        {"ods13.2-ps4096-mastsql.gdb", 13, 2, 4096, {8, 1333}, 0, {}, {}},
        {"ods15.0-ps1024-employee.gdb", 15, 0, 1024, {10, 263}, 1, {}, {}},
        {"ods15.0-ps4096-events.gdb", 15, 0, 4096, {8, 1333}, 0, {}, {}},
        {"ods15.0-ps4096-iblite-tasks.gdb", 15, 0, 4096, {1, 0}, 0, {}, {}},
        {"ods15.0-ps16384-samples.ib", 15, 0, 16384, {1, 6}, 0, {}, {}},
        {"ods16.0-ps4096-medicines.ib", 16, 0, 4096, {3, 25}, 0, {}, {}},
        {"ods16.1-ps1024-employee.gdb", 16, 1, 1024, {10, 263}, 1, {}, {}},
        {"ods16.1-ps4096-dbdemos.gdb", 16, 1, 4096, {16, 1541}, 0, {}, {}},
        {"ods16.1-ps4096-mastsql.gdb", 16, 1, 4096, {8, 1333}, 0, {}, {}},
        {"ods18.0-ps4096-banco.ib", 18, 0, 4096, {2, 4}, 0, {}, {}},
        {"ods18.2-ps1024-admin.ib", 18, 2, 1024, {4, 1}, 0, {}, {}},
        // InterBase numbers UTF8 59 (Firebird's WIN1256).
        {"ods18.2-ps4096-tasks.ib", 18, 2, 4096, {2, 1007}, 0, {}, {}, "Reálfire"},
        {"ods19.0-ps1024-employee.gdb", 19, 0, 1024, {10, 263}, 1, {}, {}},
        {"ods19.0-ps1024-intlemp.gdb", 19, 0, 1024, {10, 276}, 1, elsewhere, elsewhereThroughCopy,
         "Rondouillard & frères, S.A.R.L."},
        {"ods19.0-ps4096-medicines.ib", 19, 0, 4096, {3, 25}, 0, {}, {}},
    };
    // Beside these: the Firebird 1.5 twins of the InterBase 2007 files, read
    // with them below.
    const QStringList twins = QDir(fixtures).entryList({QStringLiteral("twin-*.xz")});
    EXPECT_EQ(QDir(fixtures).entryList({QStringLiteral("*.xz")}).size(), qsizetype(std::size(cases)) + twins.size());
    for (const auto &each : cases) {
        SCOPED_TRACE(each.file);
        const QString path = unpacked(QLatin1String(each.file));
        ASSERT_FALSE(path.isEmpty());
        const QByteArray before = fileDigest(path);

        const ods::FileFacts facts = ods::probe(path);
        EXPECT_FALSE(facts.firebird);
        EXPECT_EQ(facts.odsMajor, each.odsMajor);
        EXPECT_EQ(facts.odsMinor, each.odsMinor);
        EXPECT_EQ(facts.pageSize, each.pageSize);
        EXPECT_EQ(facts.dialect, 3);

        // The reader by itself: every relation, the system ones included,
        // every row and every BLOB.
        const std::unique_ptr<ods::Database> database = ods::Database::open(path);
        Counts user;
        int views = 0;
        long long allRows = 0;
        QStringList failing;
        for (const ods::Relation &relation : database->relations()) {
            views += relation.view;
            if (!relation.system && !relation.view)
                ++user.tables;
            try {
                const ods_test::RawTable rows = ods_test::readerTable(*database, relation);
                EXPECT_EQ(database->count(relation), (long long)rows.size()) << relation.name.toStdString();
                allRows += (long long)rows.size();
                if (!relation.system && !relation.view)
                    user.rows += (long long)rows.size();
            } catch (const components::ComponentError &error) {
                failing << relation.name;
                EXPECT_TRUE(error.description().contains(QLatin1String("tablespace")))
                    << error.description().toStdString();
            }
        }
        EXPECT_EQ(failing, each.failing);
        EXPECT_EQ(user.tables, each.user.tables);
        EXPECT_EQ(user.rows, each.user.rows);
        EXPECT_EQ(views, each.views);
        EXPECT_GT(allRows, user.rows);

        // Through the program's ADODB objects, views and computed columns
        // by way of the rebuilt copy.
        auto connection = components::create<ado::Connection>(ado::ConnectionClass);
        connection->Open(connectionStringFor(path));
        const db_test::DatabaseSnapshot read = db_test::snapshot(
            *connection, [](const QString &, const QString &type) { return type != QStringLiteral("SYSTEM TABLE"); });
        connection->Close();
        long long rows = 0;
        int listed = 0;
        bool cellFound = false;
        failing.clear();
        for (const auto &table : read.tables) {
            if (table.type == QStringLiteral("SYSTEM TABLE"))
                continue;
            ++listed;
            rows += (long long)table.rows.size();
            if (!table.failure.isEmpty())
                failing << table.name;
            // The reader's own reason, not the engine's, for a table it cannot reach.
            if (each.failing.contains(table.name)) {
                EXPECT_TRUE(table.failure.startsWith(QStringLiteral("The table \"%1\" is kept").arg(table.name)))
                    << table.failure.toStdString();
            }
            for (const auto &row : table.rows)
                for (const ado::Value &cell : row)
                    cellFound = cellFound || (each.someCell && cell && *cell == QString::fromUtf8(each.someCell));
        }
        EXPECT_EQ(cellFound, each.someCell != nullptr);
        std::printf("[ measured ] %s: %d tables (%lld rows), %d views; %d listed, %lld rows read through ADODB\n",
                    each.file, user.tables, user.rows, views, listed, rows);
        EXPECT_EQ(listed, each.user.tables + each.views);
        // Views add their rows.
        if (each.failingThroughAdo.isEmpty()) {
            EXPECT_GE(rows, each.user.rows);
        }
        EXPECT_EQ(failing, each.failingThroughAdo);
        EXPECT_EQ(fileDigest(path), before) << "the file was changed";
    }
}

// The rows of every user table, by table; the columns named in `left` out.
using Tables = std::map<QString, std::vector<QString>>;

Tables userTables(const QString &path, const QStringList &left)
{
    Tables tables;
    const std::unique_ptr<ods::Database> database = ods::Database::open(path);
    for (const ods::Relation &relation : database->relations()) {
        if (relation.system || relation.view)
            continue;
        const std::vector<int> columns = ods_test::comparedColumns(relation);
        std::vector<QString> &rows = tables[relation.name];
        for (const ods_test::RawRow &row : ods_test::readerTable(*database, relation)) {
            QStringList cells;
            for (size_t c = 0; c < columns.size(); ++c) {
                const QString &name = relation.columns[size_t(columns[c])].name;
                if (!left.contains(name))
                    cells << name + u'=' + (row[c] ? QString::fromLatin1(row[c]->toHex()) : QStringLiteral("NULL"));
            }
            rows.push_back(cells.join(u' '));
        }
        std::sort(rows.begin(), rows.end());
    }
    return tables;
}

// Rows of one side the other lacks, table by table (as multisets).
std::map<QString, int> differingRows(const Tables &left, const Tables &right, const char *leftName,
                                     const char *rightName)
{
    std::map<QString, int> counts;
    for (const auto &[name, leftRows] : left) {
        const auto found = right.find(name);
        const std::vector<QString> rightRows = found == right.end() ? std::vector<QString>() : found->second;
        std::vector<QString> onlyLeft;
        std::vector<QString> onlyRight;
        std::set_difference(leftRows.begin(), leftRows.end(), rightRows.begin(), rightRows.end(),
                            std::back_inserter(onlyLeft));
        std::set_difference(rightRows.begin(), rightRows.end(), leftRows.begin(), leftRows.end(),
                            std::back_inserter(onlyRight));
        for (const QString &row : onlyLeft)
            std::printf("[ differs  ] %s only in %s: %s\n", qPrintable(name), leftName, qPrintable(row));
        for (const QString &row : onlyRight)
            std::printf("[ differs  ] %s only in %s: %s\n", qPrintable(name), rightName, qPrintable(row));
        if (!onlyLeft.empty() || !onlyRight.empty())
            counts[name] = int(std::max(onlyLeft.size(), onlyRight.size()));
    }
    return counts;
}

// The same sample data as several versions keep it. The owners of the
// EMPLOYEE copies moved every date (each copy by its own number of years)
// and the copies of different makers keep arrays with their own array
// descriptions: those columns are left out; every other difference is a row
// its owner changed and is listed.
TEST_F(InterBaseFiles, SampleDataKeptByDifferentVersionsReadsTheSame)
{
    const QString legacyEmployee = db_test::legacyFixture(QStringLiteral("ods12.0-employee.fdb"), m_folder.path());
    const QStringList movedDates{"HIRE_DATE", "CHANGE_DATE", "ORDER_DATE", "SHIP_DATE", "DATE_NEEDED", "FISCAL_YEAR"};
    const QStringList arrays{"LANGUAGE_REQ", "QUART_HEAD_CNT"};
    const struct {
        const char *left;
        const char *right;
        QStringList leftOut;
        std::map<QString, int> changedRows;
    } cases[] = {
        // InterBase XE7 writes the array's description with another flag
        // and leaves other bytes in the padding of its elements.
        {"ods15.0-ps1024-employee.gdb", "ods16.1-ps1024-employee.gdb", arrays, {}},
        {"ods15.0-ps1024-employee.gdb", "ods19.0-ps1024-employee.gdb", movedDates + arrays, {}},
        {"ods13.2-ps4096-mastsql.gdb", "ods16.1-ps4096-mastsql.gdb", {}, {}},
        // The 2020 copy renamed one category ("Influenza 123").
        {"ods16.0-ps4096-medicines.ib", "ods19.0-ps4096-medicines.ib", {}, {{"CATEGORY", 1}}},
        // Firebird's copy has two more countries (Russia, Romania), and other
        // figures for the salaries in Italy and France: the salaries of the
        // two employees there, their salary history and their jobs' ranges.
        {"ods12.0-employee.fdb", "ods15.0-ps1024-employee.gdb", movedDates + arrays,
         {{"COUNTRY", 2}, {"EMPLOYEE", 2}, {"JOB", 2}, {"SALARY_HISTORY", 2}}},
        {"ods12.0-employee.fdb", "ods19.0-ps1024-employee.gdb", movedDates + arrays,
         {{"COUNTRY", 2}, {"EMPLOYEE", 2}, {"JOB", 2}, {"SALARY_HISTORY", 2}}},
    };
    const auto pathOf = [&](const char *name) {
        return QLatin1String(name) == QLatin1String("ods12.0-employee.fdb") ? legacyEmployee
                                                                             : unpacked(QLatin1String(name));
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(std::string(each.left) + " and " + each.right);
        const Tables left = userTables(pathOf(each.left), each.leftOut);
        const Tables right = userTables(pathOf(each.right), each.leftOut);
        std::vector<QString> leftNames;
        std::vector<QString> rightNames;
        for (const auto &table : left)
            leftNames.push_back(table.first);
        for (const auto &table : right)
            rightNames.push_back(table.first);
        EXPECT_EQ(leftNames, rightNames);
        EXPECT_EQ(differingRows(left, right, each.left, each.right), each.changedRows);
    }
}

// Each InterBase 2007 file has a twin made by Firebird 1.5: the same tables,
// other rows (only the twins keep a row of (1, 'Test') in TABLE_ONE_RECORD
// and TABLE_UPDATE), every number 1. The InterBase files keep text in their
// default character set WIN1251 (52), the twins in NONE. Both read alike, by
// the reader and through the ADODB objects the export uses, and nothing fails.
TEST_F(InterBaseFiles, InterBase2007FilesReadAsTheirFirebirdTwins)
{
    struct Described {
        std::map<QString, QStringList> columns;   // by table
        std::set<int> textCharsets;
    };
    const auto described = [](const QString &path) {
        Described tables;
        const std::unique_ptr<ods::Database> database = ods::Database::open(path);
        for (const ods::Relation &relation : database->relations()) {
            if (relation.system || relation.view)
                continue;
            QStringList &columns = tables.columns[relation.name];
            for (const ods::Column &column : relation.columns) {
                columns << QStringLiteral("%1 type %2 length %3 scale %4 characters %5")
                               .arg(column.name)
                               .arg(column.dtype)
                               .arg(column.length)
                               .arg(column.scale)
                               .arg(column.characterLength);
                if (column.characterLength > 0)
                    tables.textCharsets.insert(column.charset);
            }
        }
        return tables;
    };
    const auto exported = [](const QString &path) {
        auto connection = components::create<ado::Connection>(ado::ConnectionClass);
        connection->Open(connectionStringFor(path));
        db_test::DatabaseSnapshot read = db_test::snapshot(
            *connection, [](const QString &, const QString &type) { return type != QStringLiteral("SYSTEM TABLE"); });
        connection->Close();
        std::erase_if(read.tables, [](const auto &table) { return table.type == QStringLiteral("SYSTEM TABLE"); });
        return read;
    };
    const std::map<QString, QString> valueOf{{"ID", "1"}, {"NEW_FIELD", "1"}, {"NAME", "Test"}};
    for (const char *moment : {"leak2", "leak3", "leak4"}) {
        SCOPED_TRACE(moment);
        const QString interbase = unpacked(QStringLiteral("ods12.0-ps4096-ib2007-%1.ib").arg(QLatin1String(moment)));
        const QString firebird = unpacked(QStringLiteral("twin-ods10.1-ps4096-fb15-%1.fdb").arg(QLatin1String(moment)));
        ASSERT_FALSE(interbase.isEmpty() || firebird.isEmpty());
        const Described left = described(interbase);
        const Described right = described(firebird);
        EXPECT_EQ(left.columns, right.columns);
        EXPECT_EQ(left.textCharsets, std::set<int>{52});
        EXPECT_EQ(right.textCharsets, std::set<int>{0});

        const db_test::DatabaseSnapshot leftRead = exported(interbase);
        const db_test::DatabaseSnapshot rightRead = exported(firebird);
        ASSERT_EQ(leftRead.tables.size(), right.columns.size());
        ASSERT_EQ(rightRead.tables.size(), right.columns.size());
        for (size_t t = 0; t < leftRead.tables.size(); ++t) {
            for (const db_test::TableSnapshot &table : {leftRead.tables[t], rightRead.tables[t]}) {
                SCOPED_TRACE(table.name.toStdString());
                EXPECT_EQ(table.failure, QString());
                EXPECT_TRUE(table.cellFailures.isEmpty()) << table.cellFailures.join(u'\n').toStdString();
                EXPECT_EQ(table.recordCount, long(table.rows.size()));
                for (const auto &row : table.rows)
                    for (size_t c = 0; c < row.size(); ++c)
                        ASSERT_EQ(row[c].value_or(QStringLiteral("NULL")), valueOf.at(table.fieldNames[c]));
            }
            EXPECT_EQ(leftRead.tables[t].name, rightRead.tables[t].name);
            EXPECT_EQ(leftRead.tables[t].fieldNames, rightRead.tables[t].fieldNames);
            EXPECT_EQ(leftRead.tables[t].fieldTypes, rightRead.tables[t].fieldTypes);
            std::printf("[ measured ] %s %s: %zu rows, its twin %zu\n", moment, qPrintable(leftRead.tables[t].name),
                        leftRead.tables[t].rows.size(), rightRead.tables[t].rows.size());
        }
    }
}

// InterBase 7.0 to 7.5 (ODS 11 without the flag): no file of theirs was
// measured. A file of theirs is read when its system tables have a shape
// this reader knows (InterBase 6's or 2007's, between which InterBase 7
// lies), as the file it is a copy of; one that has none is refused by name.
// Copies of real files with the version in their header changed.
TEST_F(InterBaseFiles, AnUnmeasuredReleaseIsReadWhenItsCatalogueHasAKnownShape)
{
    const struct {
        const char *file;
        bool inRepository;        // a legacy file of the repository, else an InterBase fixture
        uint16_t minor;
        const char *refusedAs;    // null: read
    } cases[] = {
        {"ods12.0-ps4096-ib2007-leak2.ib", false, 0, nullptr},
        {"ods12.0-ps4096-ib2007-leak4.ib", false, 5, nullptr},
        {"twin-ods10.1-ps4096-fb15-leak3.fdb", false, 1, nullptr},
        {"ods10.0-dialect1-msg.gdb", true, 2, nullptr},   // from InterBase 6's own sources
        // Firebird's catalogues from 2.0 on are no shape InterBase 7 may have.
        {"ods11.2-employee.fdb", true, 2, "InterBase 7.5 (on-disk structure 11.2)"},
        {"ods12.0-employee.fdb", true, 1, "InterBase 7.1 (on-disk structure 11.1)"},
        {"ods13.0-employee.fdb", true, 7, "InterBase 7.x (on-disk structure 11.7)"},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.file);
        const QString name = QLatin1String(each.file);
        const QString original = each.inRepository ? db_test::legacyFixture(name, m_folder.path()) : unpacked(name);
        ASSERT_FALSE(original.isEmpty());
        const QString copy = m_folder.filePath(QStringLiteral("InterBase 7 ") + name);
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(original, copy));
        {
            QFile file(copy);
            ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) && file.open(QIODevice::ReadWrite));
            const auto write16 = [&](qint64 at, uint16_t value) {
                const char bytes[2] = {char(value & 0xff), char(value >> 8)};
                return file.seek(at) && file.write(bytes, 2) == 2;
            };
            ASSERT_TRUE(write16(18, 11) && write16(62, each.minor));
        }
        const ods::FileFacts facts = ods::probe(copy);
        EXPECT_FALSE(facts.firebird);
        EXPECT_EQ(facts.odsMajor, 11);

        if (!each.refusedAs) {
            const Tables expected = userTables(original, {});
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(userTables(copy, {}), expected);
            continue;
        }
        QString failure = QStringLiteral("(opened)");
        try {
            ods::Database::open(copy);
        } catch (const components::ComponentError &error) {
            failure = error.description();
        }
        EXPECT_TRUE(failure.contains(QStringLiteral("was made by %1, which this program cannot read. Open it with "
                                                    "that InterBase version")
                                         .arg(QLatin1String(each.refusedAs))))
            << failure.toStdString();
    }
}

// The system tables' layouts as written down match the record lengths
// measured on InterBase's files.
TEST(InterBaseSystemTables, LayoutsHaveTheMeasuredRecordLengths)
{
    const struct {
        const ods::SystemCatalogueLayout *catalogue;
        size_t relations;
        size_t fields;
        size_t relationFields;   // 656: with RDB$ENCRYPTION_ID, a SMALLINT at 654
    } cases[] = {
        {&ods::interbaseCatalogue12, 611, 380, 654},
        {&ods::interbaseCatalogue13, 611, 380, 656},
        {&ods::interbaseCatalogue15, 616, 380, 656},
        {&ods::interbaseCatalogue16, 624, 380, 656},
        {&ods::interbaseCatalogue18, 691, 380, 656},
    };
    for (const auto &each : cases) {
        ods::Header header;
        ods::OdsVersion version;
        version.family = ods::Family::InterBase;
        header.version = &version;
        const ods::BootstrapLayouts layouts =
            ods::bootstrapLayouts(*each.catalogue, ods::candidateConventions(header).front());
        EXPECT_EQ(layouts.relations.format.length, each.relations);
        EXPECT_EQ(layouts.fields.format.length, each.fields);
        EXPECT_EQ(layouts.relationFields.format.length, each.relationFields);
        EXPECT_EQ(layouts.relations["RDB$RELATION_NAME"], 8);
        EXPECT_EQ(layouts.relations.format.fields[8].offset, 38u);
        EXPECT_EQ(layouts.relationFields["RDB$ENCRYPTION_ID"], each.relationFields == 656 ? 19 : -1);
    }
}

} // namespace

// Rows written before a column changed type: the reader must show them as
// the Firebird 3 engine does, cell for cell, for every change ALTER COLUMN
// TYPE allows; where the engine itself fails on such a row, the reader
// refuses the table with one message.

#include "component_error.h"
#include "firebird_scratch_database.h"
#include "ods_raw_rows.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TypeChange {
    const char *column;
    const char *before;
    const char *after;
    const char *values[3];   // SQL literals for three rows written before the change
};

// Each column changes once; the rows before it hold everyday values,
// extremes and the values where rounding and padding decide.
const TypeChange changes[] = {
    {"S2I", "SMALLINT", "INTEGER", {"1", "-2", "32767"}},
    {"S2B", "SMALLINT", "BIGINT", {"7", "-32768", "32767"}},
    {"I2B", "INTEGER", "BIGINT", {"123456", "-2147483648", "2147483647"}},
    {"S2N", "SMALLINT", "NUMERIC(9,2)", {"12", "-345", "32767"}},
    {"I2N", "INTEGER", "NUMERIC(18,4)", {"42", "-7", "2147483647"}},
    {"I2D", "INTEGER", "DECIMAL(12,2)", {"5", "-1", "2000000000"}},
    {"NSC", "NUMERIC(9,4)", "NUMERIC(12,2)", {"1.2350", "-1.2350", "99999.9949"}},
    {"NSS", "NUMERIC(4,1)", "NUMERIC(9,3)", {"12.3", "-99.9", "999.9"}},
    {"NSL", "NUMERIC(9,2)", "NUMERIC(18,2)", {"0.01", "-12345.67", "9999999.99"}},
    {"NBS", "NUMERIC(18,4)", "NUMERIC(18,2)", {"1.2350", "-1.2350", "99999999999999.9949"}},
    {"S2F", "SMALLINT", "FLOAT", {"3", "-32768", "32767"}},
    {"I2DP", "INTEGER", "DOUBLE PRECISION", {"1", "-2147483648", "2147483647"}},
    {"F2DP", "FLOAT", "DOUBLE PRECISION", {"1.5", "-0.1", "3.4e38"}},
    {"N2DP", "NUMERIC(9,2)", "DOUBLE PRECISION", {"0.01", "-12345.67", "9999999.99"}},
    {"NS2DP", "NUMERIC(4,3)", "DOUBLE PRECISION", {"0.001", "-1.234", "9.999"}},
    {"C2V", "CHAR(5)", "VARCHAR(10)", {"'ab'", "'abcde'", "''"}},
    {"V2C", "VARCHAR(5)", "CHAR(10)", {"'ab'", "'abcde'", "''"}},
    {"V2V", "VARCHAR(5)", "VARCHAR(20)", {"'x'", "'hello'", "''"}},
    {"C2C", "CHAR(3)", "CHAR(8)", {"'a'", "'abc'", "''"}},
    {"U2V", "CHAR(3) CHARACTER SET UTF8", "VARCHAR(5) CHARACTER SET UTF8", {"_UTF8 'ü'", "_UTF8 'äöü'", "'a'"}},
    {"U2C", "VARCHAR(3) CHARACTER SET UTF8", "CHAR(6) CHARACTER SET UTF8", {"_UTF8 'ü'", "_UTF8 'äöü'", "''"}},
    {"O2C", "VARCHAR(3) CHARACTER SET OCTETS", "CHAR(6) CHARACTER SET OCTETS", {"x'01'", "x'000102'", "x'FF'"}},
    {"D2TS", "DATE", "TIMESTAMP", {"'2024-02-29'", "'1858-11-17'", "'0001-01-01'"}},
    {"TS2D", "TIMESTAMP", "DATE",
     {"'2024-02-29 13:14:15.1234'", "'1899-12-31 23:59:59.9999'", "'9999-12-31 00:00:00'"}},
    {"TS2T", "TIMESTAMP", "TIME",
     {"'2024-02-29 13:14:15.1234'", "'1899-12-31 23:59:59.9999'", "'9999-12-31 00:00:00'"}},
    {"S2T", "SMALLINT", "VARCHAR(10)", {"0", "-32768", "32767"}},
    {"I2T", "INTEGER", "CHAR(12)", {"1", "-2147483648", "2147483647"}},
    {"B2T", "BIGINT", "VARCHAR(25)", {"9223372036854775807", "-9223372036854775808", "0"}},
    {"N2T", "NUMERIC(9,2)", "VARCHAR(15)", {"0.05", "-0.5", "1234567.89"}},
    {"NS2T", "NUMERIC(4,2)", "CHAR(8) CHARACTER SET UTF8", {"0.01", "-1.00", "99.99"}},
    {"NB2T", "NUMERIC(18,6)", "VARCHAR(30)", {"-0.000001", "123456789012.345678", "0"}},
    {"DP2T", "DOUBLE PRECISION", "VARCHAR(30)", {"1.5", "-1e-300", "1.0/3"}},
    {"DP2C", "DOUBLE PRECISION", "CHAR(24)", {"12345678.9012345678", "-2.5e100", "0"}},
    {"F2T", "FLOAT", "VARCHAR(30)", {"1.5", "-0.1", "3.4e38"}},
    {"DT2T", "DATE", "VARCHAR(12)", {"'2024-02-29'", "'1858-11-17'", "'0001-01-01'"}},
    {"TM2T", "TIME", "CHAR(13)", {"'13:14:15.1234'", "'00:00:00'", "'23:59:59.9999'"}},
    {"TS2V", "TIMESTAMP", "VARCHAR(30)",
     {"'2024-02-29 13:14:15.1234'", "'1899-12-31 23:59:59.9999'", "'9999-12-31 00:00:00'"}},
};

// Dialect 1 keeps NUMERIC beyond 9 digits as a scaled double and DATE as a
// timestamp; the program reads it through a dialect 3 connection.
const TypeChange dialect1Changes[] = {
    {"N15T", "NUMERIC(15,2)", "VARCHAR(30)", {"1234567890123.45", "-0.01", "0"}},
    {"N15C", "NUMERIC(15,4)", "CHAR(24)", {"-98765432109.8765", "0.0001", "1e10"}},
    {"N15D", "NUMERIC(15,2)", "DOUBLE PRECISION", {"1234567890123.45", "-0.01", "0"}},
    {"N9N15", "NUMERIC(9,2)", "NUMERIC(15,2)", {"0.01", "-12345.67", "9999999.99"}},
    {"DT1T", "DATE", "VARCHAR(30)", {"'2001-02-03 04:05:06'", "'1899-12-31'", "'9999-12-31 23:59:59'"}},
};

// One column through several changes, with rows written under each type.
const char *const chain[] = {"SMALLINT", "INTEGER", "NUMERIC(12,2)", "VARCHAR(24)"};

template <size_t count>
QByteArray changedTableScript(const TypeChange (&changes)[count])
{
    QByteArray create = "CREATE TABLE CHANGED (ID INTEGER";
    QByteArray alter;
    QByteArray columns = "ID";
    for (const TypeChange &change : changes) {
        create += QByteArray(", ") + change.column + ' ' + change.before;
        alter += QByteArray("ALTER TABLE CHANGED ALTER ") + change.column + " TYPE " + change.after + ";\n";
        columns += QByteArray(", ") + change.column;
    }
    create += ");\nCOMMIT;\n";
    QByteArray rows;
    for (int row = 0; row < 3; ++row) {
        rows += "INSERT INTO CHANGED (" + columns + ") VALUES (" + QByteArray::number(row + 1);
        for (const TypeChange &change : changes)
            rows += QByteArray(", ") + change.values[row];
        rows += ");\n";
    }
    // A row of nulls, and rows written after the change.
    rows += "INSERT INTO CHANGED (ID) VALUES (4);\nCOMMIT;\n";
    const QByteArray after = "INSERT INTO CHANGED SELECT 10 + ID, " + columns.mid(4) + " FROM CHANGED;\nCOMMIT;\n";
    return create + rows + alter + "COMMIT;\n" + after;
}

QByteArray dialect3Script()
{
    QByteArray chained = QByteArray("CREATE TABLE CHAINED (ID INTEGER, V ") + chain[0] + ");\nCOMMIT;\n";
    for (int step = 0; step < int(std::size(chain)); ++step) {
        if (step > 0)
            chained += QByteArray("ALTER TABLE CHAINED ALTER V TYPE ") + chain[step] + ";\nCOMMIT;\n";
        chained += "INSERT INTO CHAINED VALUES (" + QByteArray::number(step * 2) + ", " +
                   QByteArray::number(-1234 - step) + ");\nINSERT INTO CHAINED VALUES (" +
                   QByteArray::number(step * 2 + 1) + ", NULL);\nCOMMIT;\n";
    }

    // SMALLINT to NUMERIC(4,2) is allowed, but 32767 then overflows: the
    // engine fails on that row.
    const QByteArray overflowing = "CREATE TABLE OVERFLOWING (ID INTEGER, N SMALLINT);\nCOMMIT;\n"
                                   "INSERT INTO OVERFLOWING VALUES (1, 5);\nINSERT INTO OVERFLOWING VALUES (2, 32767);\n"
                                   "COMMIT;\nALTER TABLE OVERFLOWING ALTER N TYPE NUMERIC(4,2);\nCOMMIT;\n";
    return changedTableScript(changes) + chained + overflowing;
}

QString changedDatabase(const QTemporaryDir &folder, const char *dialect, const QByteArray &script)
{
    const QString file = folder.filePath(QStringLiteral("changed%1.fdb").arg(QLatin1String(dialect)));
    runIsql("SET SQL DIALECT " + QByteArray(dialect) + ";\nCREATE DATABASE '" + file.toUtf8() +
                "' USER 'SYSDBA' PASSWORD 'masterkey' PAGE_SIZE 4096 DEFAULT CHARACTER SET NONE;\n" + script,
            "UTF8");
    return file;
}

const ods::Relation *relationNamed(const ods::Database &database, const char *name)
{
    for (const ods::Relation &relation : database.relations())
        if (relation.name == QLatin1String(name))
            return &relation;
    return nullptr;
}

TEST(OdsReaderAfterTypeChanges, RowsOfOlderFormatsReadAsTheEngineShowsThem)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const struct {
        const char *dialect;
        QByteArray script;
        std::vector<std::pair<const char *, size_t>> tables;   // name, rows
        bool overflowing;
    } databases[] = {
        {"3", dialect3Script(), {{"CHANGED", 8}, {"CHAINED", 2 * std::size(chain)}}, true},
        {"1", changedTableScript(dialect1Changes), {{"CHANGED", 8}}, false},
    };
    for (const auto &each : databases) {
        SCOPED_TRACE(each.dialect);
        const QString file = changedDatabase(folder, each.dialect, each.script);
        const std::unique_ptr<ods::Database> database = ods::Database::open(file);
        for (const auto &[name, rows] : each.tables) {
            SCOPED_TRACE(name);
            const ods::Relation *relation = relationNamed(*database, name);
            ASSERT_NE(relation, nullptr);
            EXPECT_GE(relation->format, 1);
            const ods_test::RawTable reader = ods_test::readerTable(*database, *relation);
            const ods_test::RawTable engine = ods_test::engineTable(file, *relation);
            EXPECT_EQ(reader.size(), rows);
            EXPECT_EQ(ods_test::firstDifference(engine, reader, *relation).toStdString(), "");
        }
        if (!each.overflowing)
            continue;
        const ods::Relation *overflowing = relationNamed(*database, "OVERFLOWING");
        ASSERT_NE(overflowing, nullptr);
        EXPECT_ANY_THROW(ods_test::engineTable(file, *overflowing));
        const QString failure = db_test::failureOf([&] { ods_test::readerTable(*database, *overflowing); });
        EXPECT_TRUE(failure.contains(QLatin1String("\"OVERFLOWING\"")) && failure.contains(QLatin1String("\"N\"")))
            << failure.toStdString();
    }
}

} // namespace

// Rows written before a column changed type: the reader must show them as
// the Firebird 3 engine does, cell for cell, for every change ALTER COLUMN
// TYPE allows, a switch to a domain of another character set among them;
// where the engine itself fails on such a row, the reader refuses the table
// with one message.

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

// Columns moved to a domain of another character set. Within one set and
// from or into NONE or OCTETS the bytes stay; between two real sets the text
// goes through Unicode.
const TypeChange charsetChanges[] = {
    {"N2U", "D_NONE", "D_UTF8", {"'plain'", "x'C3A9C3A8'", "x'E6A5BD'"}},
    {"N2W", "D_NONE", "D_WIN1252", {"x'E9'", "x'80'", "x'81'"}},
    {"W2N", "D_WIN1252", "D_NONE", {"x'E9'", "x'9F'", "''"}},
    {"O2U", "D_OCTETS", "D_UTF8", {"x'41'", "x'C3BC'", "''"}},
    {"U2O", "D_UTF8", "D_OCTETS", {"_UTF8 'ü'", "'a'", "''"}},
    {"U2W", "D_UTF8", "D_WIN1252", {"_UTF8 'é'", "_UTF8 '€ŠŸ'", "'x'"}},
    {"W2U", "D_WIN1252", "D_UTF8", {"x'E9'", "x'80'", "x'C3A9'"}},
    {"I2W", "D_LATIN1", "D_WIN1252", {"x'E9'", "x'A4'", "x'FF'"}},
    {"W2C", "D_WIN1252", "D_WIN1251", {"x'A7'", "x'AB'", "'abc'"}},
    {"U2S", "D_UTF8", "D_SJIS", {"_UTF8 '日本'", "'a'", "_UTF8 'カナ'"}},
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

// The column N of each table below holds a row the engine itself cannot
// show after the change: it fails on the table, and so must the reader.
QByteArray failingChange(const char *table, const char *before, const char *value, const char *after)
{
    return QByteArray("CREATE TABLE ") + table + " (ID INTEGER, N " + before + ");\nCOMMIT;\nINSERT INTO " + table +
           " VALUES (1, 'a');\nINSERT INTO " + table + " VALUES (2, " + value + ");\nCOMMIT;\nALTER TABLE " + table +
           " ALTER N TYPE " + after + ";\nCOMMIT;\n";
}

QByteArray charsetScript()
{
    const QByteArray domains = "CREATE DOMAIN D_NONE VARCHAR(20) CHARACTER SET NONE;\n"
                               "CREATE DOMAIN D_OCTETS VARCHAR(20) CHARACTER SET OCTETS;\n"
                               "CREATE DOMAIN D_UTF8 VARCHAR(20) CHARACTER SET UTF8;\n"
                               "CREATE DOMAIN D_WIN1252 VARCHAR(20) CHARACTER SET WIN1252;\n"
                               "CREATE DOMAIN D_WIN1251 VARCHAR(20) CHARACTER SET WIN1251;\n"
                               "CREATE DOMAIN D_LATIN1 VARCHAR(20) CHARACTER SET ISO8859_1;\n"
                               "CREATE DOMAIN D_SJIS VARCHAR(20) CHARACTER SET SJIS_0208;\nCOMMIT;\n";
    // The real case: NONE, then UTF8, then WIN1252, rows under each.
    const QByteArray chained = "CREATE TABLE RENAMED (ID INTEGER, NOME VARCHAR(255) CHARACTER SET NONE);\nCOMMIT;\n"
                               "INSERT INTO RENAMED VALUES (1, 'Jose');\nINSERT INTO RENAMED VALUES (2, x'4AC3A9');\nCOMMIT;\n"
                               "CREATE DOMAIN D_NOME_UTF8 VARCHAR(255) CHARACTER SET UTF8;\n"
                               "CREATE DOMAIN D_NOME_WIN1252 VARCHAR(255) CHARACTER SET WIN1252;\nCOMMIT;\n"
                               "ALTER TABLE RENAMED ALTER NOME TYPE D_NOME_UTF8;\nCOMMIT;\n"
                               "INSERT INTO RENAMED VALUES (3, _UTF8 'Zoë');\nCOMMIT;\n"
                               "ALTER TABLE RENAMED ALTER NOME TYPE D_NOME_WIN1252;\nCOMMIT;\n"
                               "INSERT INTO RENAMED VALUES (4, x'E9');\nCOMMIT;\n";
    return domains + changedTableScript(charsetChanges) + chained +
           failingChange("MALFORMED", "D_NONE", "x'E3'", "D_UTF8") +
           failingChange("UNMAPPED", "D_LATIN1", "x'81'", "D_WIN1252");
}

QString changedDatabase(const QTemporaryDir &folder, const char *name, const char *dialect, const QByteArray &script)
{
    const QString file = folder.filePath(QStringLiteral("%1.fdb").arg(QLatin1String(name)));
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
        const char *name;
        const char *dialect;
        QByteArray script;
        std::vector<std::pair<const char *, size_t>> tables;   // name, rows
        std::vector<const char *> failing;   // tables whose column N the engine fails on
    } databases[] = {
        {"types3", "3", dialect3Script(), {{"CHANGED", 8}, {"CHAINED", 2 * std::size(chain)}}, {"OVERFLOWING"}},
        {"types1", "1", changedTableScript(dialect1Changes), {{"CHANGED", 8}}, {}},
        {"charsets", "3", charsetScript(), {{"CHANGED", 8}, {"RENAMED", 4}}, {"MALFORMED", "UNMAPPED"}},
    };
    for (const auto &each : databases) {
        SCOPED_TRACE(each.name);
        const QString file = changedDatabase(folder, each.name, each.dialect, each.script);
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
        for (const char *name : each.failing) {
            SCOPED_TRACE(name);
            const ods::Relation *failing = relationNamed(*database, name);
            ASSERT_NE(failing, nullptr);
            EXPECT_ANY_THROW(ods_test::engineTable(file, *failing));
            const QString failure = db_test::failureOf([&] { ods_test::readerTable(*database, *failing); });
            EXPECT_TRUE(failure.contains(QStringLiteral("\"%1\"").arg(QLatin1String(name))) &&
                        failure.contains(QLatin1String("\"N\"")))
                << failure.toStdString();
        }
    }
}

} // namespace

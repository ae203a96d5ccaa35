// The on-disk structure reader against the Firebird 3 engine on ODS 12 files:
// every stored value of every user table must be the engine's, byte for
// byte. The generated database holds what makes the structure hard: updates
// and deletes behind committed and rolled-back transactions, rows longer
// than a page, BLOBs of every level, changed table formats, every type and
// several character sets.

#include "firebird_scratch_database.h"
#include "header_page.h"
#include "ods_raw_rows.h"
#include "page_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace {

// Rows enough for several data and pointer-page slots, made by the engine.
const QByteArray generatedScript = R"sql(
CREATE TABLE TYPES (ID INTEGER NOT NULL, S SMALLINT, I INTEGER, B BIGINT, F FLOAT, D DOUBLE PRECISION,
  N4 NUMERIC(4,2), N9 NUMERIC(9,3), N18 NUMERIC(18,4), DC DECIMAL(10,1), DT DATE, TM TIME, TS TIMESTAMP,
  BO BOOLEAN, C CHAR(10), V VARCHAR(40), CU CHAR(5) CHARACTER SET UTF8, VU VARCHAR(20) CHARACTER SET UTF8,
  VW VARCHAR(20) CHARACTER SET WIN1252, VO VARCHAR(16) CHARACTER SET OCTETS, VL VARCHAR(20) CHARACTER SET ISO8859_1,
  VS VARCHAR(10) CHARACTER SET SJIS_0208, VC VARCHAR(10) CHARACTER SET WIN1251,
  TX BLOB SUB_TYPE TEXT CHARACTER SET UTF8, BI BLOB SUB_TYPE BINARY, AR INTEGER[3], CMP COMPUTED BY (I * 2));
COMMIT;
INSERT INTO TYPES
WITH D (N) AS (SELECT 0 FROM RDB$DATABASE UNION ALL SELECT 1 FROM RDB$DATABASE UNION ALL SELECT 2 FROM RDB$DATABASE
  UNION ALL SELECT 3 FROM RDB$DATABASE UNION ALL SELECT 4 FROM RDB$DATABASE UNION ALL SELECT 5 FROM RDB$DATABASE
  UNION ALL SELECT 6 FROM RDB$DATABASE UNION ALL SELECT 7 FROM RDB$DATABASE UNION ALL SELECT 8 FROM RDB$DATABASE
  UNION ALL SELECT 9 FROM RDB$DATABASE),
R (N) AS (SELECT 1 + A.N + B.N * 10 + C.N * 100 + E.N * 1000 FROM D A, D B, D C, D E)
SELECT N, IIF(MOD(N, 9) = 0, NULL, MOD(N, 32000) - 16000), N * 7919, N * CAST(1000000007 AS BIGINT),
  N / 3.0, N / 7.0, MOD(N, 9999) / 100.0, N / 1000.0, N * 12345.6789, N / 10.0,
  DATEADD(DAY, N, DATE '1899-12-30'), DATEADD(SECOND, N * 17, TIME '00:00:00'),
  DATEADD(MINUTE, N * 37, TIMESTAMP '1970-01-01 00:00:00'), MOD(N, 3) = 0,
  'c' || N, IIF(MOD(N, 5) = 0, '', 'Row ' || N || ' of many'), _UTF8 'Grüß', _UTF8 'Žluťoučký ' || N,
  _UTF8 'Café ' || N, CAST(X'00FF10' AS VARCHAR(3) CHARACTER SET OCTETS) || N, _UTF8 'Ångström',
  _UTF8 '日本語', _UTF8 'Привет',
  IIF(MOD(N, 4) = 0, NULL, _UTF8 'Text BLOB ' || N || ' ✓'), IIF(MOD(N, 6) = 0, NULL, X'000102FEFF' || N), NULL
FROM R WHERE N <= 3000;
COMMIT;

CREATE TABLE WIDE (ID INTEGER, W VARCHAR(9000), TAIL INTEGER);
COMMIT;
INSERT INTO WIDE
WITH D (N) AS (SELECT 0 FROM RDB$DATABASE UNION ALL SELECT 1 FROM RDB$DATABASE UNION ALL SELECT 2 FROM RDB$DATABASE
  UNION ALL SELECT 3 FROM RDB$DATABASE UNION ALL SELECT 4 FROM RDB$DATABASE UNION ALL SELECT 5 FROM RDB$DATABASE
  UNION ALL SELECT 6 FROM RDB$DATABASE UNION ALL SELECT 7 FROM RDB$DATABASE UNION ALL SELECT 8 FROM RDB$DATABASE
  UNION ALL SELECT 9 FROM RDB$DATABASE),
R (N) AS (SELECT 1 + A.N + B.N * 10 + C.N * 100 + E.N * 1000 FROM D A, D B, D C, D E)
SELECT N, RPAD('', 6000 + N * 30, UUID_TO_CHAR(GEN_UUID())), N FROM R WHERE N <= 60;
COMMIT;

CREATE TABLE EVOLVING (ID INTEGER, A VARCHAR(5), B SMALLINT, GONE INTEGER, N NUMERIC(5,2));
COMMIT;
INSERT INTO EVOLVING VALUES (1, 'one', 10, 100, 1.25);
INSERT INTO EVOLVING VALUES (2, NULL, NULL, NULL, NULL);
COMMIT;
ALTER TABLE EVOLVING ADD C INTEGER DEFAULT 7 NOT NULL;
ALTER TABLE EVOLVING ALTER A TYPE VARCHAR(30);
ALTER TABLE EVOLVING ALTER B TYPE BIGINT;
ALTER TABLE EVOLVING ALTER N TYPE NUMERIC(12,4);
ALTER TABLE EVOLVING DROP GONE;
COMMIT;
INSERT INTO EVOLVING VALUES (3, 'three, a longer text', 30000000000, 3.1415, 9);
COMMIT;

CREATE TABLE BLOBS (ID INTEGER, B BLOB SUB_TYPE BINARY, T BLOB SUB_TYPE TEXT CHARACTER SET WIN1252);
COMMIT;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE B BLOB SUB_TYPE BINARY;
  DECLARE I INTEGER = 0;
BEGIN
  B = 'abcdefghij0123456789';
  WHILE (I < 18) DO
  BEGIN
    B = B || B;
    I = I + 1;
    IF (I IN (1, 9, 13)) THEN INSERT INTO BLOBS VALUES (:I, :B, 'Level of ' || :I);
  END
  INSERT INTO BLOBS VALUES (18, :B, NULL);
END^
SET TERM ;^
COMMIT;
)sql";

// Committed changes made while an older snapshot lasts keep their back
// versions and deleted records in the file; a rollback without undo log leaves
// dead versions.
void changeUnderSnapshot(const QString &file)
{
    ods_test::runOnEngine(file,
                          {"UPDATE TYPES SET V = 'updated ' || ID, S = COALESCE(S, 0) + 1 WHERE MOD(ID, 7) = 0",
                           "DELETE FROM TYPES WHERE MOD(ID, 11) = 0",
                           "UPDATE WIDE SET W = RPAD('', 8500, UUID_TO_CHAR(GEN_UUID())) WHERE MOD(ID, 3) = 0",
                           "UPDATE WIDE SET TAIL = -TAIL WHERE MOD(ID, 4) = 0",
                           "UPDATE EVOLVING SET B = B + 1 WHERE ID = 1", "UPDATE BLOBS SET T = 'changed' WHERE ID = 9"},
                          true);
    ods_test::runOnEngine(file,
                          {"UPDATE TYPES SET V = 'rolled back', TX = 'rolled back' WHERE MOD(ID, 5) = 0",
                           "DELETE FROM TYPES WHERE MOD(ID, 13) = 0", "INSERT INTO TYPES (ID) VALUES (-1)"},
                          false, true);
}

// What the data pages of a file hold, to know the comparison met it.
struct Census {
    int backVersions = 0;
    int differences = 0;
    int deleted = 0;
    int fragmented = 0;
    std::set<int> blobLevels;
};

Census censusOf(const QString &path)
{
    ods::PageFile file(path);
    const ods::Header header = ods::parseHeader(file.readStart(1024), path);
    file.setLayout(header.facts.pageSize, true);
    Census census;
    for (uint32_t number = 1; number < file.pageCount(); ++number) {
        ods::PageView page;
        try {
            page = file.page(number, ods::DataPage);
        } catch (const components::ComponentError &) {
            continue;
        }
        const uint8_t *bytes = page.span().data();
        for (unsigned line = 0; line < ods::get16(bytes + 22); ++line) {
            const unsigned offset = ods::get16(bytes + 24 + 4 * line);
            if (offset == 0)
                continue;
            const unsigned flags = ods::get16(bytes + offset + 10);
            if (flags & 16) {
                census.blobLevels.insert(bytes[offset + 12]);
                continue;
            }
            census.backVersions += (flags & 2) != 0;
            census.differences += (flags & 32) != 0;
            census.deleted += (flags & 1) != 0;
            census.fragmented += (flags & 8) != 0;
        }
    }
    return census;
}

// Dialect 1 stores DATE as a timestamp and NUMERIC beyond 9 digits as a double.
const QByteArray dialect1Script = R"sql(
CREATE TABLE LEGACY_TYPES (ID INTEGER, DT DATE, N NUMERIC(15,2), N9 NUMERIC(9,2), V VARCHAR(10), D DOUBLE PRECISION);
COMMIT;
INSERT INTO LEGACY_TYPES VALUES (1, '2001-02-03 04:05:06', 1234567890123.45, 1234567.89, 'one', 1.5);
INSERT INTO LEGACY_TYPES VALUES (2, '1899-12-31', -0.01, NULL, NULL, -2.25e100);
COMMIT;
)sql";

QString copyOf(const QString &source, const QTemporaryDir &folder)
{
    const QString copy = folder.filePath(QFileInfo(source).fileName());
    QFile::remove(copy);
    if (!QFile::copy(source, copy))
        return {};
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    return copy;
}

QString generatedDatabase(const QTemporaryDir &folder, const char *name, const QByteArray &dialect,
                          const QByteArray &script)
{
    const QString file = folder.filePath(QLatin1String(name));
    runIsql("SET SQL DIALECT " + dialect + ";\nCREATE DATABASE '" + file.toUtf8() +
                "' USER 'SYSDBA' PASSWORD 'masterkey' PAGE_SIZE 4096 DEFAULT CHARACTER SET NONE;\n" + script,
            "UTF8");
    return file;
}

TEST(OdsReaderAgainstEngine, EveryStoredValueOfEveryUserTableIsTheEngines)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const struct {
        const char *name;
        QString file;
        bool changed;
        int dialect;
    } cases[] = {
        {"sample", copyOf(QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb"), folder), false, 3},
        {"generated", generatedDatabase(folder, "generated.fdb", "3", generatedScript), true, 3},
        {"dialect 1", generatedDatabase(folder, "dialect1.fdb", "1", dialect1Script), false, 1},
    };
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        ASSERT_FALSE(each.file.isEmpty());
        std::unique_ptr<ods_test::HeldSnapshot> snapshot;
        if (each.changed) {
            snapshot = std::make_unique<ods_test::HeldSnapshot>(each.file);
            changeUnderSnapshot(each.file);
            const Census census = censusOf(each.file);
            EXPECT_GT(census.backVersions, 100);
            EXPECT_GT(census.differences, 100);
            EXPECT_GT(census.deleted, 100);
            EXPECT_GT(census.fragmented, 50);
            EXPECT_EQ(census.blobLevels, (std::set<int>{0, 1, 2}));
        }
        const std::unique_ptr<ods::Database> database = ods::Database::open(each.file);
        EXPECT_EQ(database->facts().odsMajor, 12);
        EXPECT_EQ(database->facts().dialect, each.dialect);
        std::vector<std::pair<ods::Relation, ods_test::RawTable>> read;
        for (const ods::Relation &relation : database->relations()) {
            if (relation.system || relation.view)
                continue;
            read.emplace_back(relation, ods_test::readerTable(*database, relation));
            EXPECT_EQ(database->count(relation), (long long)read.back().second.size()) << relation.name.toStdString();
        }
        snapshot.reset();
        EXPECT_GT(read.size(), 0u);
        for (const auto &[relation, reader] : read) {
            const ods_test::RawTable engine = ods_test::engineTable(each.file, relation);
            EXPECT_EQ(ods_test::firstDifference(engine, reader, relation).toStdString(), "");
        }
    }
}

} // namespace

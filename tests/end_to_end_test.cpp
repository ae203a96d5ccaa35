// The program as a user meets it: the real Firebird engine on the bundled
// sample database, a real Calc, real windows on a display.

#include "calc_inspection.h"
#include "connection_string.h"
#include "database_access.h"
#include "database_snapshot.h"
#include "file_digest.h"
#include "firebird_scratch_database.h"
#include "form1.h"
#include "form2.h"
#include "real_program_fixture.h"
#include "table_export.h"
#include "window_parts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <sys/mount.h>
#include <unistd.h>

using namespace testing_support;

namespace {

QStringList listed(Form2 &window)
{
    QStringList names;
    for (int i = 0; i < part<QTreeWidget>(window, "ListView1").topLevelItemCount(); ++i)
        names << part<QTreeWidget>(window, "ListView1").topLevelItem(i)->text(0);
    return names;
}

// The cells as the export writes them, read through the same component.
QList<QList<excel::Cell>> databaseRows(ado::Connection &connection, const QString &table, int &fields)
{
    auto records = components::create<ado::Recordset>(ado::RecordsetClass);
    records->setCursorLocation(ado::adUseClient);
    records->OpenTable(table, connection);
    const long count = records->RecordCount();
    fields = records->fields().count();
    QList<QList<excel::Cell>> rows;
    QList<excel::Cell> header;
    for (int f = 0; f < fields; ++f)
        header << (*records)[f].Name();
    rows << header;
    for (long r = 0; r < count; ++r) {
        QList<excel::Cell> row;
        for (int f = 0; f < fields; ++f) {
            ado::Field &field = (*records)[f];
            row << (field.Type() == ado::adLongVarBinary ? excel::Cell("{BINARY DATA}") : field.cell());
        }
        rows << row;
        records->MoveNext();
    }
    return rows;
}

// Calc shows days before 15 October 1582 in the Julian calendar, so such a
// date arrives as its text.
bool arrivesAsText(const excel::Cell &cell)
{
    return cell.isText() || (cell.kind == excel::Cell::Date && cell.number < -115858);
}

class EndToEndTest : public RealProgramFixture {
protected:
    static QString samplePath() { return QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb"); }

    void saveScreenshot(QWidget &window, const QString &name)
    {
        const QByteArray dir = qgetenv("MARROWBECK_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QDir().mkpath(QString::fromLocal8Bit(dir));
        QCoreApplication::processEvents();
        window.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name);
    }

    // "Test Connection", "Next >", "Select All", "Finish" on the sample
    // (typedPath empty) or a typed file; every cell must arrive as the
    // component reads it, the file unchanged.
    void exportEveryTableAndCompare(const char *what, const QString &typedPath, bool &sawBinary)
    {
        Form1 &first = form1();
        first.show();
        if (typedPath.isEmpty()) {
            first.PushButton7_Click();
        } else {
            first.databaseEntry().setText(typedPath);
            first.userEntry().setText(QStringLiteral("SYSDBA"));
            first.passwordEntry().setText(QStringLiteral("masterkey"));
        }
        const QString path = first.databaseEntry().text();
        const QByteArray before = fileDigest(path);
        boxes->shown.clear();
        first.PushButton3_Click();
        EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Connection successful.")});
        first.PushButton2_Click();
        ASSERT_TRUE(form2Loaded());
        Form2 &window = form2();
        window.show();
        window.PushButton8_Click();
        const QStringList names = listed(window);
        boxes->shown.clear();
        const std::size_t officesBefore = applications.size();
        window.PushButton5_Click();
        ASSERT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});

        ASSERT_EQ(applications.size(), officesBefore + 1);
        excel::Application &calc = *applications.back();
        QStringList expectedSheets;
        for (const QString &name : names)
            expectedSheets.prepend(QString(name).remove(QLatin1Char('[')).remove(QLatin1Char(']')).left(30));
        EXPECT_EQ(calc_inspection::sheetNames(calc), expectedSheets);
        EXPECT_EQ(calc_inspection::activeSheetName(calc), expectedSheets.first());
        EXPECT_TRUE(calc_inspection::windowVisible(calc));

        auto connection = components::create<ado::Connection>(ado::ConnectionClass);
        connection->Open(dbaccess::connectionString(
            dbaccess::enteredLogin(path, first.userEntry().text(), first.passwordEntry().text())));
        bool sawEmpty = false;
        long cellsCompared = 0;
        long typedCells = 0;
        for (const QString &name : names) {
            int fields = 0;
            const QList<QList<excel::Cell>> expected = databaseRows(*connection, name, fields);
            const QString sheet = QString(name).remove(QLatin1Char('[')).remove(QLatin1Char(']')).left(30);
            const QList<QVariantList> cells = calc_inspection::cellValues(calc, sheet, 1, 1, int(expected.size()) + 1, fields + 1);
            for (int r = 0; r < expected.size(); ++r) {
                for (int f = 0; f < fields; ++f) {
                    const QVariant cell = cells[r][f];
                    const excel::Cell &want = expected[r][f];
                    if (arrivesAsText(want)) {
                        ASSERT_EQ(cell.typeId(), QMetaType::QString) << qPrintable(sheet) << " row " << r + 1 << " column " << f + 1;
                        ASSERT_EQ(cell.toString(), want.text) << qPrintable(sheet) << " row " << r + 1 << " column " << f + 1;
                    } else {
                        ASSERT_EQ(cell.typeId(), QMetaType::Double) << qPrintable(sheet) << " row " << r + 1 << " column " << f + 1;
                        ASSERT_EQ(cell.toDouble(), want.number) << qPrintable(sheet) << " row " << r + 1 << " column " << f + 1;
                        ++typedCells;
                    }
                    sawEmpty = sawEmpty || (r > 0 && want.text.isEmpty());
                    sawBinary = sawBinary || want.text == QStringLiteral("{BINARY DATA}");
                    ++cellsCompared;
                }
                EXPECT_EQ(cells[r][fields].toString(), QString()) << "nothing right of the table";
            }
            for (const QVariant &below : cells[expected.size()])
                EXPECT_EQ(below.toString(), QString()) << "nothing below the table";
        }
        connection->Close();
        std::printf("[ measured ] %s: %lld tables, %ld cells compared\n", what, static_cast<long long>(names.size()), cellsCompared);
        EXPECT_TRUE(sawEmpty);
        EXPECT_GT(typedCells, 0) << "numbers and dates arrive as numbers";
        EXPECT_TRUE(fileDigest(path) == before) << "the file was changed";
        unloadWindowsForTesting();
    }
};

TEST_F(EndToEndTest, FirstRunThenSampleThenRestartOpensStraightOnTheTableList)
{
    Form1 &first = form1();
    first.show();
    EXPECT_EQ(first.geometry().size(), QSize(536, 235)) << "the client area on a real display";
    EXPECT_EQ(first.userEntry().text(), QStringLiteral("SYSDBA"));
    EXPECT_FALSE(form2Loaded());
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_EQ(applications.size(), 1u) << "the host check started an office";
    saveScreenshot(first, QStringLiteral("connection-window-skinned.png"));

    first.PushButton7_Click();
    first.PushButton2_Click();
    ASSERT_TRUE(form2Loaded());
    Form2 &tables = form2();
    EXPECT_TRUE(tables.isVisible());
    EXPECT_EQ(tables.geometry().size(), QSize(536, 313));
    EXPECT_FALSE(first.isVisible());
    const QStringList names = listed(tables);
    for (const char *name : {"CUSTOMERS", "PRODUCTS", "ORDERS", "ORDER_LINES", "EMPLOYEES", "STOCK [WAREHOUSE 1]", "CUSTOMER_ORDER_TOTALS"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    for (const QString &name : names)
        EXPECT_FALSE(name.startsWith(QStringLiteral("RDB$")) || name.startsWith(QStringLiteral("MON$"))) << name.toStdString();
    part<QTreeWidget>(tables, "ListView1").topLevelItem(0)->setCheckState(0, Qt::Checked);
    saveScreenshot(tables, QStringLiteral("table-window.png"));

    unloadWindowsForTesting();
    showStartWindow();
    Form1 &restarted = form1();
    ASSERT_TRUE(form2Loaded()) << "the saved sample login connects at once";
    EXPECT_TRUE(form2().isVisible());
    EXPECT_TRUE(restarted.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&restarted, 5000)) << "the connection window in front of the list";
    EXPECT_EQ(listed(form2()), names);
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(EndToEndTest, ConnectionWindowWithoutTheSkinFile)
{
    QTemporaryDir folder;
    QFile::copy(QStringLiteral(MARROWBECK_PROGRAM_DIR "/HAND-M.CUR"), folder.filePath(QStringLiteral("HAND-M.CUR")));
    frame::setProgramFolder(folder.path());
    Form1 &window = form1();
    window.show();
    EXPECT_TRUE(window.styleSheet().isEmpty());
    saveScreenshot(window, QStringLiteral("connection-window.png"));
}

// The sample through its button; files of other versions typed into the
// connection window (an InterBase 6 dialect-1 file, a Firebird 5 file with
// views and computed columns): "Test Connection", "Next >", "Select All",
// "Finish", and every cell arrives as the component reads it, the file
// unchanged.
TEST_F(EndToEndTest, DatabasesOfEveryVersionArriveInCalcCellForCell)
{
    QTemporaryDir folder;
    struct Case {
        const char *what;
        QString typedPath; // empty: the sample button
    };
    const Case cases[] = {
        {"the sample", QString()},
        {"an InterBase 6 dialect-1 file", db_test::legacyFixture(QStringLiteral("ods10.0-dialect1-goods.fdb"), folder.path())},
        {"a Firebird 5 file", db_test::legacyFixture(QStringLiteral("ods13.1-employee.fdb"), folder.path())},
    };
    bool sawBinary = false;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        exportEveryTableAndCompare(c.what, c.typedPath, sawBinary);
    }
    EXPECT_TRUE(sawBinary);
}

// A cache too small for the copy that views and computed columns need: the
// tables still arrive, one message says why the rest cannot, each of the
// rest is named once, and nothing is left in the cache.
TEST_F(EndToEndTest, AFileTheCacheHasNoRoomForStillExportsItsTables)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to mount a small filesystem over the copies folder";
    QTemporaryDir folder;
    const QString path = db_test::legacyFixture(QStringLiteral("ods13.1-employee.fdb"), folder.path());
    const QString copies = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/databases");
    QDir().mkpath(copies);
    ASSERT_EQ(::mount("tmpfs", QFile::encodeName(copies).constData(), "tmpfs", 0, "size=4m"), 0);
    const std::unique_ptr<const QString, void (*)(const QString *)> unmount(
        &copies, [](const QString *folder) { ::umount2(QFile::encodeName(*folder).constData(), MNT_DETACH); });
    Form1 &first = form1();
    first.show();
    first.databaseEntry().setText(path);
    first.userEntry().setText(QStringLiteral("SYSDBA"));
    first.passwordEntry().setText(QStringLiteral("masterkey"));
    first.PushButton2_Click();
    ASSERT_TRUE(form2Loaded());
    Form2 &window = form2();
    window.show();
    window.PushButton8_Click();
    const QStringList names = listed(window);
    boxes->shown.clear();
    window.PushButton5_Click();
    const std::vector<QString> prompts = boxes->prompts();
    const QStringList sheets = calc_inspection::sheetNames(*applications.back());
    const QStringList left = QDir(copies).entryList({QStringLiteral("*.fdb*")}, QDir::Files);

    ASSERT_FALSE(prompts.empty());
    EXPECT_EQ(prompts.back(), QStringLiteral("Done."));
    int spaceMessages = 0;
    QStringList skipped;
    for (const QString &prompt : prompts) {
        spaceMessages += prompt.contains(QStringLiteral("There is not enough free space in the program's cache"));
        for (const QString &name : names)
            if (prompt.contains(QStringLiteral("\"%1\"").arg(name)) && !sheets.contains(name))
                skipped << name;
    }
    EXPECT_EQ(spaceMessages, 1);
    EXPECT_EQ(int(prompts.size()), skipped.size() + 1) << "one message for each table that needed the copy, then Done.";
    EXPECT_EQ(skipped.size(), QSet<QString>(skipped.begin(), skipped.end()).size()) << "each named once";
    EXPECT_EQ(sheets.size() + skipped.size(), names.size());
    EXPECT_TRUE(sheets.contains(QStringLiteral("EMPLOYEE_PROJECT")));
    EXPECT_EQ(left, QStringList());
    unloadWindowsForTesting();
}

// A value the engine cannot compute, in a computed column and in a view:
// every row arrives with only that cell empty, each table gives one report
// that names the column and the record, and the export ends with "Done.".
TEST_F(EndToEndTest, ValuesThatCannotBeComputedCostTheirCellsAndOneReportPerTable)
{
    const auto database = ScratchDatabase::embedded("CREATE TABLE NUMS (A INTEGER, B INTEGER, Q COMPUTED BY (A / B));\n"
                                                    "INSERT INTO NUMS (A, B) VALUES (1, 1);\n"
                                                    "INSERT INTO NUMS (A, B) VALUES (1, 0);\n"
                                                    "INSERT INTO NUMS (A, B) VALUES (4, 2);\n"
                                                    "CREATE VIEW V (A, R) AS SELECT A, 10 / B FROM NUMS;\n");
    Form1 &first = form1();
    first.show();
    first.databaseEntry().setText(database->dbname());
    first.userEntry().setText(QStringLiteral("SYSDBA"));
    first.passwordEntry().setText(QStringLiteral("masterkey"));
    first.PushButton2_Click();
    ASSERT_TRUE(form2Loaded());
    Form2 &window = form2();
    window.show();
    for (int i = 0; i < part<QTreeWidget>(window, "ListView1").topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = part<QTreeWidget>(window, "ListView1").topLevelItem(i);
        item->setCheckState(0, item->text(0) == QStringLiteral("NUMS") || item->text(0) == QStringLiteral("V")
                                   ? Qt::Checked : Qt::Unchecked);
    }
    boxes->shown.clear();
    window.PushButton5_Click();

    const std::vector<QString> prompts = boxes->prompts();
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_TRUE(prompts[0].startsWith(QStringLiteral("While exporting the table \"NUMS\": The value of the column \"Q\" in record 2")))
        << prompts[0].toStdString();
    EXPECT_TRUE(prompts[1].startsWith(QStringLiteral("While exporting the table \"V\": The value of the column \"R\" in record 2")))
        << prompts[1].toStdString();
    EXPECT_EQ(prompts[2], QStringLiteral("Done."));
    excel::Application &calc = *applications.back();
    const auto text = [](const QList<QVariantList> &cells) {
        QStringList rows;
        for (const QVariantList &row : cells) {
            QStringList values;
            for (const QVariant &cell : row)
                values << cell.toString();
            rows << values.join(u',');
        }
        return rows;
    };
    EXPECT_EQ(text(calc_inspection::cellValues(calc, QStringLiteral("NUMS"), 1, 1, 5, 3)),
              QStringList({"A,B,Q", "1,1,1", "1,0,", "4,2,2", ",,"}));
    EXPECT_EQ(text(calc_inspection::cellValues(calc, QStringLiteral("V"), 1, 1, 5, 2)),
              QStringList({"A,R", "1,10", "1,", "4,5", ","}));
    unloadWindowsForTesting();
}

// Every type a Firebird 3 table holds, with its extremes, through "Finish":
// each cell is what the component's cell says (a number the spreadsheet can
// count with where it holds the value as the text states it, else the text),
// and shows the text the same value has always shown; Calc's SUM and sort
// agree with the database's.
TEST_F(EndToEndTest, EveryTypeArrivesAsCellsToCountWithShowingTheirText)
{
    const auto database = ScratchDatabase::embedded(db_test::everyTypeTable);
    Form1 &first = form1();
    first.show();
    first.databaseEntry().setText(database->dbname());
    first.userEntry().setText(QStringLiteral("SYSDBA"));
    first.passwordEntry().setText(QStringLiteral("masterkey"));
    first.PushButton2_Click();
    ASSERT_TRUE(form2Loaded());
    Form2 &window = form2();
    window.show();
    window.PushButton8_Click();
    boxes->shown.clear();
    window.PushButton5_Click();
    ASSERT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});
    excel::Application &calc = *applications.back();

    const auto connection = db_test::open(database->connectionString());
    int fields = 0;
    const QList<QList<excel::Cell>> expected = databaseRows(*connection, QStringLiteral("TYPES"), fields);
    ASSERT_EQ(expected.size(), 9);
    using calc_inspection::ShownCell;
    const QList<QList<ShownCell>> cells = calc_inspection::shownCells(calc, QStringLiteral("TYPES"), 1, 1, 9, fields);
    // What Calc holds for the extremes: v a value, t a text, e empty.
    const QStringList extremes = {"vvvttvvvtvvvtt", "vvvttvvvvvtvtt", "veeeeeeeeeeete"};
    for (int r = 0; r < expected.size(); ++r) {
        for (int f = 0; f < fields; ++f) {
            const excel::Cell &want = expected[r][f];
            const ShownCell &cell = cells[r][f];
            SCOPED_TRACE(QStringLiteral("row %1 column %2: %3").arg(r + 1).arg(f + 1).arg(want.text).toStdString());
            if (arrivesAsText(want)) {
                EXPECT_EQ(cell.type, want.text.isEmpty() ? ShownCell::Empty : ShownCell::Text);
                EXPECT_EQ(cell.shown, want.text);
            } else {
                EXPECT_EQ(cell.type, ShownCell::Value);
                EXPECT_EQ(cell.value, want.number);
                // Calc names booleans in its own words for the locale
                // (TRUE, WAHR) and spells exponents its own way (1E+300).
                if (want.kind != excel::Cell::Boolean) {
                    EXPECT_EQ(cell.shown.toUpper(), want.text.toUpper());
                }
            }
            if (r >= 1 && r <= 3) {
                const char held = cell.type == ShownCell::Value ? 'v' : cell.type == ShownCell::Text ? 't' : 'e';
                EXPECT_EQ(QChar(held), extremes[r - 1][f]);
            }
        }
    }

    const QLocale locale = QLocale::system();
    for (const int f : {1, 2, 3, 4, 5, 6, 7}) {
        const QString column = expected[0][f].text;
        const QString letter = QChar(u'A' + f);
        const auto sum = db_test::query(*connection, QStringLiteral("SELECT SUM(%1) FROM TYPES WHERE ID >= 4").arg(column));
        const double databaseSum = locale.toDouble(*(*sum)[0].value());
        const double calcSum = calc_inspection::formulaResult(calc, QStringLiteral("TYPES"),
                                                              QStringLiteral("=SUM(%1:%2)").arg(letter + u'5', letter + QString::number(expected.size())));
        // A FLOAT cell holds the number its seven digits state; the sum of a
        // DOUBLE PRECISION column reads with fifteen.
        const double tolerance = column == u"F" ? 1e-6 : column == u"D" ? 1e-14 : 1e-15;
        EXPECT_NEAR(calcSum, databaseSum, std::abs(databaseSum) * tolerance + 1e-300) << column.toStdString();
    }
    for (const int f : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) {
        const QString column = expected[0][f].text;
        calc_inspection::sortColumnByCalc(calc, QStringLiteral("TYPES"), f + 1, 5, int(expected.size()));
        QStringList sorted;
        for (const auto &row : calc_inspection::shownCells(calc, QStringLiteral("TYPES"), 5, f + 1, int(expected.size()) - 4, 1))
            sorted << row[0].shown.toUpper();
        QStringList ordered;
        const auto rows = db_test::query(*connection, QStringLiteral("SELECT %1 FROM TYPES WHERE ID >= 4 ORDER BY %1").arg(column));
        for (; !rows->Eof(); rows->MoveNext())
            ordered << (*rows)[0].value()->toUpper();
        EXPECT_EQ(sorted, ordered) << column.toStdString();
    }
    unloadWindowsForTesting();
}

// An InterBase XE7 file (ODS 16.1, views and computed columns) the same way.
// The InterBase sample files have no licence to be in the repository: they
// are read from next to the source tree, or the test is skipped.
TEST_F(EndToEndTest, InterBaseXe7FileArrivesInCalcCellForCell)
{
    const QString sample =
        QStringLiteral(MARROWBECK_SOURCE_DIR "/../shared/fixtures/interbase/ods16.1-ps1024-employee.gdb.xz");
    if (!QFile::exists(sample))
        GTEST_SKIP() << "The InterBase sample files are not next to the source tree (" << sample.toStdString() << ").";
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("employee.gdb"));
    QProcess xz;
    xz.setStandardOutputFile(path);
    xz.start(QStringLiteral("xz"), {QStringLiteral("-dc"), sample});
    ASSERT_TRUE(xz.waitForFinished(60000) && xz.exitCode() == 0);
    bool sawBinary = false;
    exportEveryTableAndCompare("an InterBase XE7 file", path, sawBinary);
}

} // namespace

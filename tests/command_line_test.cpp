// The command line as a scheduled job runs it: the real program, no display,
// its files read back cell for cell against the wizard's own export of the
// same tables in this process.

#include "add_tables.h"
#include "calc_inspection.h"
#include "database_snapshot.h"
#include "export_window.h"
#include "file_digest.h"
#include "firebird_scratch_database.h"
#include "login.h"
#include "real_program_fixture.h"
#include "reliability_support.h"
#include "xlsx_file_xml.h"
#include "table_export.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <map>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using Contents = QList<calc_inspection::SheetContents>;

const QString samplePath = QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb");

// A digit of the default font, in hundredths of a millimetre (7 pixels).
constexpr int oneCharacter = 185;

struct Finished {
    int status = -1;
    QString errors;
};

// Variables to set for a run, or to remove (an empty value).
using Variables = std::map<QString, QString>;

// A scheduled job's surroundings: no display, the password in the environment.
void startProgram(QProcess &program, const QStringList &arguments, const QString &password,
                  const Variables &variables = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("MARROWBECK_PASSWORD"), password);
    for (const auto &[name, value] : variables) {
        if (value.isEmpty())
            environment.remove(name);
        else
            environment.insert(name, value);
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(MARROWBECK_PROGRAM_DIR "/marrowbeck"), arguments);
    program.waitForStarted();
}

Finished runProgram(const QStringList &arguments, const QString &password = QString(), const Variables &variables = {})
{
    QProcess program;
    startProgram(program, arguments, password, variables);
    program.waitForFinished(300000);
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardError())};
}

int officesOf(qint64 programId) { return int(reliability::officesStartedBy(programId).size()); }

// RFC 4180, as a reader of the files would take them.
QList<QVariantList> readCsv(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    QList<QVariantList> rows;
    QVariantList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << std::exchange(field, QString());
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << std::exchange(field, QString());
            rows << std::exchange(row, QVariantList());
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

// Rows left empty at the end are no part of what a reader sees; a workbook
// file may keep them or not.
template <class Rows>
Rows withoutEmptyEnd(Rows rows)
{
    const auto empty = [](const auto &row) {
        return std::all_of(row.begin(), row.end(), [](const auto &cell) { return QVariant(cell).toString().isEmpty(); });
    };
    while (!rows.isEmpty() && empty(rows.back()))
        rows.removeLast();
    return rows;
}

// What the XML of a sheet holds for cells as Calc gives them: text for a
// string, a number for a double (kept to 16 significant digits: every number
// cell has 15 at most, a time of day loses less than a microsecond), nothing
// for an empty cell.
QMap<std::pair<int, int>, QString> xmlCellsOf(const QList<QVariantList> &cells)
{
    QMap<std::pair<int, int>, QString> expected;
    for (int r = 0; r < cells.size(); ++r) {
        for (int c = 0; c < cells[r].size(); ++c) {
            const QVariant &cell = cells[r][c];
            if (cell.typeId() == QMetaType::Double)
                expected[{r + 1, c + 1}] = numberCell(QString::number(cell.toDouble(), 'g', 16).toDouble());
            else if (!cell.toString().isEmpty())
                expected[{r + 1, c + 1}] = QStringLiteral("text:") + cell.toString();
        }
    }
    return expected;
}

// Each cell's text as shown, marked "#" for a number: the number itself a
// file keeps to the digits it shows (.xlsx to 15, .ods times to the
// nanosecond).
QList<QStringList> heldAndShown(const calc_inspection::SheetContents &sheet)
{
    QList<QStringList> rows;
    for (qsizetype r = 0; r < sheet.cells.size(); ++r) {
        rows.emplace_back();
        for (qsizetype c = 0; c < sheet.cells[r].size(); ++c)
            rows.back() << (sheet.cells[r][c].typeId() == QMetaType::Double ? QStringLiteral("#") : QString()) + sheet.shown[r][c];
    }
    return rows;
}

// Calc spells booleans and exponents its own way ("TRUE", "1E+30").
template <class Rows>
QList<QStringList> upperCase(const Rows &rows)
{
    QList<QStringList> upper;
    for (const auto &row : rows) {
        upper.emplace_back();
        for (const auto &cell : row)
            upper.back() << QVariant(cell).toString().toUpper();
    }
    return upper;
}

// The wizard's sheet as an .xlsx holds it: a date before 1900-03-01 (serial
// 61), which Excel and Calc count differently, as the text it shows, where
// the file has that text.
calc_inspection::SheetContents asAnXlsxHolds(calc_inspection::SheetContents wizard,
                                             const calc_inspection::SheetContents &file)
{
    for (qsizetype r = 0; r < wizard.cells.size() && r < file.cells.size(); ++r) {
        for (qsizetype c = 0; c < wizard.cells[r].size() && c < file.cells[r].size(); ++c) {
            QVariant &cell = wizard.cells[r][c];
            if (cell.typeId() == QMetaType::Double && cell.toDouble() < 61 &&
                file.cells[r][c].typeId() == QMetaType::QString && file.cells[r][c].toString() == wizard.shown[r][c])
                cell = wizard.shown[r][c];
        }
    }
    return wizard;
}

class AllTicked : public ExportWindow {
public:
    explicit AllTicked(QStringList names) : m_names(std::move(names)) {}
    int entryCount() const override { return int(m_names.size()); }
    bool entryTicked(int) const override { return true; }
    QString entryText(int entry) const override { return m_names.at(entry - 1); }
    void setProgressPercent(double) override {}
    void setProgressText(const QString &) override {}
    void setProgressTextMaker(std::function<QString()>) override {}
    void setPointer(int) override {}
    bool busy() const override { return m_busy; }
    void setBusy(bool busy) override { m_busy = busy; }
    void restoreIfMinimized() override {}
    void yieldToEvents() override {}

private:
    QStringList m_names;
    bool m_busy = false;
};

class NameList : public FireBird::TableListing {
public:
    void clear() override { names.clear(); }
    void append(const QString &name) override { names << name; }
    QStringList names;
};

class CommandLineTest : public RealProgramFixture {
protected:
    static void SetUpTestSuite()
    {
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
    }

    // The wizard's export of every table it lists, left unshown in Calc.
    Contents wizardWorkbook(const dbaccess::Login &login)
    {
        NameList listing;
        FireBird::AddTablesToFireBird(listing, login);
        AllTicked window(listing.names);
        runExport(window, login, [](excel::Application &, excel::Workbook &, const ExportResults &) {});
        EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});
        boxes->shown.clear();
        return calc_inspection::workbookContents(*applications.back());
    }
};

// Every table of the sample, of an InterBase 6 file and of a table of every
// type into each format: the same sheets in the same order, the same cells
// (.csv: the texts the cells show), the same column widths in .ods and within
// a character in .xlsx (written without Calc, measured in the same font), the
// .xlsx's own XML holding the cells as Calc reads them, and nothing else left
// in the folder.
TEST_F(CommandLineTest, EveryFormatHoldsWhatTheWizardWrites)
{
    QTemporaryDir folder;
    const QString goods = db_test::legacyFixture(QStringLiteral("ods10.0-dialect1-goods.fdb"), folder.path());
    ASSERT_FALSE(goods.isEmpty());
    struct Database {
        const char *what;
        QString path;
        QString password;
    };
    const auto everyType = ScratchDatabase::embedded(db_test::everyTypeTable + "CREATE VIEW TYPES_VIEW AS SELECT * FROM TYPES;\n");
    const Database databases[] = {{"the sample", samplePath, QStringLiteral("lanternox")},
                                  {"an InterBase 6 dialect-1 file", goods, QStringLiteral("masterkey")},
                                  {"a table of every type", everyType->dbname(), QStringLiteral("masterkey")}};
    for (const Database &database : databases) {
        const Contents wizard =
            wizardWorkbook(dbaccess::enteredLogin(database.path, QStringLiteral("SYSDBA"), database.password));
        ASSERT_GT(wizard.size(), 1) << database.what;
        for (const char *format : {"ods", "xlsx", "csv"}) {
            SCOPED_TRACE(std::string(database.what) + " to ." + format);
            QTemporaryDir out;
            const QString output = out.filePath(QStringLiteral("export.") + QLatin1String(format));
            const Finished run = runProgram({QStringLiteral("--export"), database.path, QStringLiteral("--output"), output},
                                       database.password);
            ASSERT_EQ(run.status, 0) << qPrintable(run.errors);
            EXPECT_EQ(run.errors, QString());

            QStringList expectedFiles;
            if (QLatin1String(format) == QLatin1String("csv")) {
                for (const auto &sheet : wizard) {
                    const QString file = QStringLiteral("export_%1.csv").arg(sheet.name);
                    expectedFiles << file;
                    EXPECT_EQ(upperCase(readCsv(out.filePath(file))), upperCase(withoutEmptyEnd(sheet.shown)))
                        << qPrintable(file);
                }
            } else {
                expectedFiles << QFileInfo(output).fileName();
                const Contents file = calc_inspection::fileContents(*applications.back(), output);
                ASSERT_EQ(file.size(), wizard.size());
                for (qsizetype s = 0; s < wizard.size(); ++s) {
                    EXPECT_EQ(file[s].name, wizard[s].name);
                    const auto expected =
                        QLatin1String(format) == QLatin1String("xlsx") ? asAnXlsxHolds(wizard[s], file[s]) : wizard[s];
                    EXPECT_EQ(withoutEmptyEnd(heldAndShown(file[s])), withoutEmptyEnd(heldAndShown(expected)))
                        << qPrintable(wizard[s].name);
                    if (QLatin1String(format) == QLatin1String("xlsx")) {
                        const QList<XlsxSheetXml> xml = xlsxSheets(output);
                        ASSERT_EQ(xml.size(), wizard.size());
                        EXPECT_EQ(xml[s].name, wizard[s].name);
                        EXPECT_EQ(xml[s].cells, xmlCellsOf(expected.cells)) << qPrintable(wizard[s].name);
                    }
                    if (QLatin1String(format) == QLatin1String("ods")) {
                        EXPECT_EQ(file[s].widths, wizard[s].widths) << qPrintable(wizard[s].name);
                    } else {
                        ASSERT_EQ(file[s].widths.size(), wizard[s].widths.size()) << qPrintable(wizard[s].name);
                        for (qsizetype c = 0; c < wizard[s].widths.size(); ++c)
                            EXPECT_NEAR(file[s].widths[c], wizard[s].widths[c], oneCharacter)
                                << qPrintable(wizard[s].name) << ", column " << c + 1;
                    }
                }
            }
            QStringList left = QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            left.sort();
            expectedFiles.sort();
            EXPECT_EQ(left, expectedFiles);
        }
    }
}

// A run stopped mid-export leaves no file, finished or not, and no office
// (it never starts one for these formats).
TEST_F(CommandLineTest, AStoppedRunLeavesNoFileAndNoOffice)
{
    const auto database = ScratchDatabase::embedded(
        "CREATE TABLE BIG (ID INTEGER, A VARCHAR(40), B VARCHAR(40), C VARCHAR(40), D VARCHAR(40), E VARCHAR(40));\n"
        "COMMIT;\nSET TERM ^;\n"
        "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 300000) DO BEGIN\n"
        " INSERT INTO BIG VALUES (:I, 'a' || :I, 'b' || :I, 'c' || :I, 'd' || :I, 'e' || :I); I = I + 1; END END^\n"
        "SET TERM ;^\nCOMMIT;\n");
    for (const char *format : {"xlsx", "csv"}) {
        SCOPED_TRACE(format);
        QTemporaryDir out;
        QProcess program;
        startProgram(program,
                     {QStringLiteral("--export"), database->dbname(), QStringLiteral("--output"),
                      out.filePath(QStringLiteral("big.") + QLatin1String(format))},
                     QStringLiteral("masterkey"));
        const qint64 id = program.processId();
        // Rows are on their way: a file in the making has grown.
        const auto exporting = [&] {
            for (QDirIterator files(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); files.hasNext();)
                if (files.nextFileInfo().size() > 0)
                    return true;
            return false;
        };
        QElapsedTimer clock;
        clock.start();
        while (!exporting() && program.state() == QProcess::Running && clock.elapsed() < 60000)
            QThread::msleep(10);
        ASSERT_EQ(program.state(), QProcess::Running) << qPrintable(program.readAllStandardError());
        ::kill(pid_t(id), SIGTERM);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitCode(), 2);
        EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        clock.restart();
        while (officesOf(id) > 0 && clock.elapsed() < 5000)
            QThread::msleep(20);
        EXPECT_EQ(officesOf(id), 0);
    }
}

// What a script gets back: the exit status, and one line on standard error
// for each thing that went wrong; table names read as SQL reads them, and
// an output in "~/" in the home folder.
TEST_F(CommandLineTest, FailuresAreOneLineEachAndTheStatusTellsHowMuchWasExported)
{
    QTemporaryDir out, home;
    const QString csv = out.filePath(QStringLiteral("part.csv"));
    struct Case {
        QStringList arguments;
        int status;
        const char *line; // what the one line on standard error says; none when null
    };
    const Case cases[] = {
        {{QStringLiteral("--export")}, 2, "--export"},
        {{QStringLiteral("--export"), samplePath, QStringLiteral("--output"), out.filePath(QStringLiteral("x.txt"))}, 2, ".ods"},
        {{QStringLiteral("--export"), out.filePath(QStringLiteral("missing.fdb")), QStringLiteral("--output"),
          out.filePath(QStringLiteral("x.ods"))}, 2, "missing.fdb"},
        {{QStringLiteral("--export"), samplePath, QStringLiteral("--output"), csv, QStringLiteral("--table"),
          QStringLiteral("NO_SUCH"), QStringLiteral("--table"), QStringLiteral("CUSTOMERS")}, 1, "\"NO_SUCH\""},
        {{QStringLiteral("--export"), samplePath, QStringLiteral("--output"), QStringLiteral("~/home.csv"),
          QStringLiteral("--table"), QStringLiteral("products"), QStringLiteral("--table"), QStringLiteral("\"ORDERS\"")},
         0, nullptr},
        {{QStringLiteral("--export"), samplePath, QStringLiteral("--output"), csv, QStringLiteral("--table"),
          QStringLiteral("\"products\"")}, 2, "\"\"products\"\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.arguments.join(u' ')));
        const Finished run = runProgram(c.arguments, QStringLiteral("lanternox"), {{QStringLiteral("HOME"), home.path()}});
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.errors.count(u'\n'), c.line ? 1 : 0) << qPrintable(run.errors);
        if (c.line) {
            EXPECT_TRUE(run.errors.contains(QLatin1String(c.line))) << qPrintable(run.errors);
        }
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("part_CUSTOMERS.csv")});
    EXPECT_EQ(QDir(home.path()).entryList({QStringLiteral("*.csv")}),
              (QStringList{QStringLiteral("home_ORDERS.csv"), QStringLiteral("home_PRODUCTS.csv")}));
    const Finished version = runProgram({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
}

// Faults of a run, each with what standard error says, what the folder holds
// afterwards (nothing hidden, nothing half written), the exit status and that
// no office of the run is left; the database file is never written. A run
// killed outright leaves its unfinished folder to the next run, which sweeps
// it.
TEST_F(CommandLineTest, WholeTablesOrNothingWhateverFails)
{
    // Q cannot be computed in the second record: NUMS arrives whole with that
    // cell empty, said; the view UNITED cannot be read on past it and ends.
    const auto database = ScratchDatabase::embedded(
        "CREATE TABLE NUMS (A INTEGER, B INTEGER, Q COMPUTED BY (A / B));\n"
        "INSERT INTO NUMS (A, B) VALUES (1, 1);\n"
        "INSERT INTO NUMS (A, B) VALUES (1, 0);\n"
        "INSERT INTO NUMS (A, B) VALUES (4, 2);\n"
        "CREATE TABLE GOOD (ID INTEGER);\n"
        "INSERT INTO GOOD VALUES (7);\n"
        "CREATE VIEW UNITED (Q) AS SELECT Q FROM NUMS UNION SELECT ID FROM GOOD;\n"
        "CREATE TABLE BIG (ID INTEGER, A VARCHAR(40), B VARCHAR(40));\n"
        "COMMIT;\nSET TERM ^;\n"
        "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 200000) DO BEGIN\n"
        " INSERT INTO BIG VALUES (:I, 'a' || :I, 'b' || :I); I = I + 1; END END^\n"
        "SET TERM ;^\nCOMMIT;\n");
    const QByteArray before = fileDigest(database->file());
    struct Case {
        const char *what;
        const char *format;
        QStringList tables;
        std::vector<int> sent; // signals sent while rows are on their way, or the file is stored
        bool whileStoring;
        int status;               // -1: killed
        QStringList files;        // of the output folder, hidden ones included
        QStringList says;         // each on standard error
    };
    const Case cases[] = {
        {"a table failed part-way, as .csv", "csv", {"UNITED", "GOOD"}, {}, false, 1, {"out_GOOD.csv"},
         {"The table \"UNITED\" failed and is not in"}},
        {"a table failed part-way, as .ods", "ods", {"UNITED", "GOOD"}, {}, false, 1, {"out.ods"},
         {"The table \"UNITED\" failed"}},
        {"a table failed part-way, as .xlsx", "xlsx", {"UNITED", "GOOD"}, {}, false, 1, {"out.xlsx"},
         {"The table \"UNITED\" failed"}},
        {"a value left empty is said, its table kept", "csv", {"NUMS", "GOOD"}, {}, false, 1,
         {"out_GOOD.csv", "out_NUMS.csv"}, {"in record 2"}},
        {"the only table failed", "csv", {"UNITED"}, {}, false, 2, {}, {"No table was exported"}},
        {"killed outright, as .ods", "ods", {"BIG"}, {SIGKILL}, false, -1, {}, {}},
        {"killed outright, as .xlsx", "xlsx", {"BIG"}, {SIGKILL}, false, -1, {}, {}},
        {"killed outright, as .csv", "csv", {"BIG"}, {SIGKILL}, false, -1, {}, {}},
        {"two Ctrl+C, as .csv", "csv", {"BIG"}, {SIGINT, SIGINT}, false, 2, {}, {"Stopped"}},
        {"SIGTERM while the office stores .ods", "ods", {"BIG"}, {SIGTERM}, true, 2, {}, {"Stopped by a signal"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir out;
        const QString output = out.filePath(QStringLiteral("out.") + QLatin1String(c.format));
        QStringList arguments{QStringLiteral("--export"), database->dbname(), QStringLiteral("--output"), output};
        for (const QString &table : c.tables)
            arguments << QStringLiteral("--table") << table;
        QProcess program;
        startProgram(program, arguments, QStringLiteral("masterkey"));
        const qint64 id = program.processId();
        if (!c.sent.empty()) {
            const auto rowsOnTheirWay = [&] {
                if (c.whileStoring) {
                    for (QDirIterator files(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); files.hasNext();)
                        if (files.nextFileInfo().size() > 0)
                            return true;
                    return false;
                }
                if (QLatin1String(c.format) == QLatin1String("ods"))
                    return officesOf(id) > 0;
                for (QDirIterator files(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); files.hasNext();)
                    if (files.nextFileInfo().size() > 0)
                        return true;
                return false;
            };
            QElapsedTimer clock;
            clock.start();
            while (!rowsOnTheirWay() && program.state() == QProcess::Running && clock.elapsed() < 120000)
                QThread::msleep(c.whileStoring ? 1 : 10);
            ASSERT_EQ(program.state(), QProcess::Running) << qPrintable(program.readAllStandardError());
            for (int signal : c.sent)
                ::kill(pid_t(id), signal);
        }
        // A store under way is not broken off; the run ends once it is over.
        ASSERT_TRUE(program.waitForFinished(c.sent.empty() || c.whileStoring ? 300000 : 5000)) << "not ended at once";
        const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1, c.status) << qPrintable(errors);
        for (const QString &line : c.says)
            EXPECT_TRUE(errors.contains(line)) << qPrintable(line) << " in " << qPrintable(errors);
        QElapsedTimer clock;
        clock.start();
        while (officesOf(id) > 0 && clock.elapsed() < 10000)
            QThread::msleep(20);
        EXPECT_EQ(officesOf(id), 0) << "an office outlived its run";
        if (c.status >= 0) {
            EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), c.files);
        } else {
            // The next run into the folder, of one small table.
            const Finished next = runProgram({QStringLiteral("--export"), database->dbname(), QStringLiteral("--output"),
                                              out.filePath(QStringLiteral("next.csv")), QStringLiteral("--table"),
                                              QStringLiteral("GOOD")},
                                             QStringLiteral("masterkey"));
            EXPECT_EQ(next.status, 0) << qPrintable(next.errors);
            EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                      QStringList{QStringLiteral("next_GOOD.csv")});
        }
        if (QLatin1String(c.format) != QLatin1String("csv") && c.status == 1) {
            if (applications.empty())
                components::create<excel::Application>(excel::ApplicationClass);
            const Contents file = calc_inspection::fileContents(*applications.back(), output);
            ASSERT_EQ(file.size(), 1);
            EXPECT_EQ(file[0].name, QStringLiteral("GOOD"));
        }
        EXPECT_EQ(fileDigest(database->file()), before);
    }
}

// Where no office is installed (here: none where the program looks for one,
// none on the PATH), .xlsx and .csv are written all the same, and .ods says
// in one line what it needs.
TEST_F(CommandLineTest, WithoutAnOfficeOnlyOdsIsRefused)
{
    QStringList path = qEnvironmentVariable("PATH").split(u':');
    path.removeIf([](const QString &folder) { return QFileInfo::exists(folder + QStringLiteral("/soffice")); });
    const Variables noOffice{{QStringLiteral("MARROWBECK_SOFFICE"), QStringLiteral("/nonexistent/soffice")},
                             {QStringLiteral("PATH"), path.join(u':')},
                             {QStringLiteral("LD_LIBRARY_PATH"), QString()}};
    QTemporaryDir out;
    for (const char *format : {"xlsx", "csv", "ods"}) {
        SCOPED_TRACE(format);
        const bool ods = QLatin1String(format) == QLatin1String("ods");
        const Finished run = runProgram({QStringLiteral("--export"), samplePath, QStringLiteral("--output"),
                                         out.filePath(QStringLiteral("x.") + QLatin1String(format)),
                                         QStringLiteral("--table"), QStringLiteral("CUSTOMERS")},
                                        QStringLiteral("lanternox"), noOffice);
        EXPECT_EQ(run.status, ods ? 2 : 0) << qPrintable(run.errors);
        EXPECT_EQ(run.errors.count(u'\n'), ods ? 1 : 0) << qPrintable(run.errors);
        if (ods) {
            EXPECT_TRUE(run.errors.contains(QLatin1String("needs LibreOffice Calc"))
                        && run.errors.contains(QLatin1String("apt install libreoffice-calc")))
                << qPrintable(run.errors);
        }
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("x.xlsx"), QStringLiteral("x_CUSTOMERS.csv")}));
}

// An .xlsx cell holds at most 32,767 characters: a longer text arrives cut
// to that, and the table is reported once, by its column and first row, as
// a failure. A .csv keeps the whole text.
TEST_F(CommandLineTest, ATextLongerThanAnXlsxCellHoldsIsCutAndSaidOnce)
{
    const auto database = ScratchDatabase::embedded(
        "CREATE TABLE NOTES (ID INTEGER, BODY BLOB SUB_TYPE TEXT);\n"
        "COMMIT;\nSET TERM ^;\n"
        "EXECUTE BLOCK AS DECLARE B BLOB SUB_TYPE TEXT = ''; DECLARE I INTEGER = 0; BEGIN\n"
        " WHILE (I < 10) DO BEGIN B = B || RPAD('', 10000, 'x'); I = I + 1; END\n"
        " INSERT INTO NOTES VALUES (1, 'short');\n"
        " INSERT INTO NOTES VALUES (2, :B);\n"
        " INSERT INTO NOTES VALUES (3, 'y' || :B); END^\n"
        "SET TERM ;^\nCOMMIT;\n");
    QTemporaryDir out;
    const QString xlsx = out.filePath(QStringLiteral("long.xlsx"));
    const Finished cut = runProgram({QStringLiteral("--export"), database->dbname(), QStringLiteral("--output"), xlsx},
                                    QStringLiteral("masterkey"));
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.errors.count(u'\n'), 1) << qPrintable(cut.errors);
    for (const char *said : {"\"NOTES\"", "\"BODY\"", "row 3", "100000", "32767"})
        EXPECT_TRUE(cut.errors.contains(QLatin1String(said))) << said << ": " << qPrintable(cut.errors);
    const QList<XlsxSheetXml> sheets = xlsxSheets(xlsx);
    ASSERT_EQ(sheets.size(), 1);
    const QString x(100000, u'x');
    EXPECT_EQ(sheets[0].cells.value({2, 2}), QStringLiteral("text:short"));
    EXPECT_EQ(sheets[0].cells.value({3, 2}), QStringLiteral("text:") + x.left(32767));
    EXPECT_EQ(sheets[0].cells.value({4, 2}), QStringLiteral("text:y") + x.left(32766));

    const QString csv = out.filePath(QStringLiteral("long.csv"));
    const Finished whole = runProgram({QStringLiteral("--export"), database->dbname(), QStringLiteral("--output"), csv},
                                      QStringLiteral("masterkey"));
    EXPECT_EQ(whole.status, 0) << qPrintable(whole.errors);
    EXPECT_EQ(readCsv(out.filePath(QStringLiteral("long_NOTES.csv"))).value(2).value(1).toString(), x);
}

} // namespace

// The command line as a scheduled job runs it: the real program, no display,
// its files read back cell for cell against the wizard's own export of the
// same tables in this process.

#include "add_tables.h"
#include "calc_inspection.h"
#include "connection_string.h"
#include "database_snapshot.h"
#include "export_window.h"
#include "firebird_scratch_database.h"
#include "real_program_fixture.h"
#include "table_export.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using Contents = QList<calc_inspection::SheetContents>;

const QString samplePath = QStringLiteral(MARROWBECK_PROGRAM_DIR "/Samples/sample.fdb");

struct Finished {
    int status = -1;
    QString errors;
};

// A scheduled job's surroundings: no display, the password in the environment.
void startProgram(QProcess &program, const QStringList &arguments, const QString &password)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("MARROWBECK_PASSWORD"), password);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(MARROWBECK_PROGRAM_DIR "/marrowbeck"), arguments);
    program.waitForStarted();
}

Finished runProgram(const QStringList &arguments, const QString &password = QString())
{
    QProcess program;
    startProgram(program, arguments, password);
    program.waitForFinished(300000);
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardError())};
}

// Processes of the office a program of that process id started; an ended
// one left as a zombie has no command line and does not count.
int officesOf(qint64 programId)
{
    const QByteArray pipe = "marrowbeck-" + QByteArray::number(programId) + '-';
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (entry.front().isDigit() && commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(pipe))
            ++count;
    }
    return count;
}

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
    Contents wizardWorkbook(const QString &connectionString)
    {
        NameList listing;
        FireBird::AddTablesToFireBird(listing, connectionString);
        AllTicked window(listing.names);
        runExport(window, connectionString, [](excel::Application &, excel::Workbook &) {});
        EXPECT_EQ(boxes->prompts(), std::vector<QString>{QStringLiteral("Done.")});
        boxes->shown.clear();
        return calc_inspection::workbookContents(*applications.back());
    }
};

// Every table of the sample, of an InterBase 6 file and of a table of every
// type into each format: the same sheets in the same order, the same cells
// (.csv: the texts the cells show), the same column widths in .ods, and
// nothing else left in the folder.
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
            wizardWorkbook(FireBird::connectionString(database.path, QStringLiteral("SYSDBA"), database.password));
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
                    EXPECT_EQ(withoutEmptyEnd(heldAndShown(file[s])), withoutEmptyEnd(heldAndShown(wizard[s])))
                        << qPrintable(wizard[s].name);
                    if (QLatin1String(format) == QLatin1String("ods")) {
                        EXPECT_EQ(file[s].widths, wizard[s].widths) << qPrintable(wizard[s].name);
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

// A run stopped mid-export leaves no file, finished or not, and no office.
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
        // Rows are on their way: the office runs, or a CSV file has grown.
        const auto exporting = [&] {
            if (QLatin1String(format) == QLatin1String("xlsx"))
                return officesOf(id) > 0;
            for (QDirIterator files(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); files.hasNext();)
                if (files.nextFileInfo().size() > 0)
                    return true;
            return false;
        };
        QElapsedTimer clock;
        clock.start();
        while (!exporting() && program.state() == QProcess::Running && clock.elapsed() < 60000)
            QThread::msleep(10);
        if (QLatin1String(format) == QLatin1String("xlsx"))
            QThread::msleep(1500);
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
// for each thing that went wrong.
TEST_F(CommandLineTest, FailuresAreOneLineEachAndTheStatusTellsHowMuchWasExported)
{
    QTemporaryDir out;
    const QString csv = out.filePath(QStringLiteral("part.csv"));
    struct Case {
        QStringList arguments;
        int status;
        const char *line; // what the one line on standard error says
    };
    const Case cases[] = {
        {{QStringLiteral("--export")}, 2, "--export"},
        {{QStringLiteral("--export"), samplePath, QStringLiteral("--output"), out.filePath(QStringLiteral("x.txt"))}, 2, ".ods"},
        {{QStringLiteral("--export"), out.filePath(QStringLiteral("missing.fdb")), QStringLiteral("--output"),
          out.filePath(QStringLiteral("x.ods"))}, 2, "missing.fdb"},
        {{QStringLiteral("--export"), samplePath, QStringLiteral("--output"), csv, QStringLiteral("--table"),
          QStringLiteral("NO_SUCH"), QStringLiteral("--table"), QStringLiteral("CUSTOMERS")}, 1, "\"NO_SUCH\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.arguments.join(u' ')));
        const Finished run = runProgram(c.arguments, QStringLiteral("lanternox"));
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.errors.count(u'\n'), 1) << qPrintable(run.errors);
        EXPECT_TRUE(run.errors.contains(QLatin1String(c.line))) << qPrintable(run.errors);
    }
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{QStringLiteral("part_CUSTOMERS.csv")});
    const Finished version = runProgram({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
}

} // namespace

// Needs a display (DISPLAY), since the export ends by showing the workbook.
// The whole export, as "Finish" runs it: a generated table of the embedded
// engine into Calc through the real PushButton5_Click, with message boxes
// answered by a recording service. Beside it, from the same run: the
// component-only write rate into Calc and the read rate of the same table
// through the database component. The export should reach at least 0.5 of
// the component-only write rate; our peak memory should hardly grow with
// the row count (run once with 10000 and once with 1000000 rows).
//
// export_bench [rows]

#include "calc_inspection.h"
#include "database_access.h"
#include "fire_bird.h"
#include "form1.h"
#include "form2.h"
#include "platform.h"
#include "recording_platform.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"
#include "settings_store.h"
#include "spreadsheet_write_rate.h"
#include "table_export.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int columns = 10;

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString number(double value) { return QLocale(QLocale::English).toString(value, 'f', 0); }

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Made with Firebird's own isql-fb, in a process of its own that has ended
// before we attach (the embedded engine opens a file for one process only).
bool createTable(const QString &file, int rows)
{
    const QString script = QStringLiteral(
        "CREATE DATABASE '%1' USER 'SYSDBA' DEFAULT CHARACTER SET UTF8;\n"
        "CREATE TABLE BIG (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(30), PRICE NUMERIC(12,2), BORN DATE,"
        " SEEN TIMESTAMP, TOTAL BIGINT, RATIO DOUBLE PRECISION, NOTE VARCHAR(40), QTY SMALLINT, CODE CHAR(8));\n"
        "COMMIT;\nSET TERM ^;\n"
        "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %2) DO BEGIN\n"
        " INSERT INTO BIG VALUES (:I, 'Customer ' || :I, :I * 1.25, DATEADD(MOD(:I, 9000) DAY TO DATE '2000-01-01'),"
        " DATEADD(:I SECOND TO TIMESTAMP '2020-01-01 00:00:00'), :I * 1000003, :I / 7.0, IIF(MOD(:I, 5) = 0, NULL, 'note ' || :I),"
        " MOD(:I, 300), 'C' || MOD(:I, 1000));\n"
        " I = I + 1; END END^\nSET TERM ;^\nCOMMIT;\n").arg(file).arg(rows);
    QProcess isql;
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q")});
    isql.write(script.toUtf8());
    isql.closeWriteChannel();
    isql.waitForFinished(-1);
    if (isql.exitCode() != 0 || !QFile::exists(file)) {
        print(QString::fromLocal8Bit(isql.readAllStandardError()));
        return false;
    }
    return true;
}

double readRate(const QString &connectionString)
{
    auto connection = components::create<ado::Connection>(ado::ConnectionClass);
    connection->Open(connectionString);
    auto records = components::create<ado::Recordset>(ado::RecordsetClass);
    QElapsedTimer timer;
    timer.start();
    records->Open(selectAllQuery(QStringLiteral("BIG")), *connection);
    const long rows = records->RecordCount();
    const int fields = records->fields().count();
    qint64 characters = 0;
    for (long r = 0; r < rows; ++r) {
        for (int f = 0; f < fields; ++f)
            characters += (*records)[f].value().value_or(QString()).size();
        records->MoveNext();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    connection->Close();
    return characters > 0 ? double(rows) * fields / seconds : 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    const QString file = home.filePath(QStringLiteral("bench.fdb"));
    if (!createTable(file, rows))
        return 1;
    print(QStringLiteral("Table BIG: %1 rows x %2 columns, embedded engine").arg(number(rows)).arg(columns));

    auto boxes = std::make_shared<testing_support::RecordingMessageBoxes>();
    frame::setMessageBoxService(boxes);
    registerDatabaseAccessComponents();
    registerSpreadsheetAutomationComponents();
    std::vector<std::shared_ptr<excel::Application>> applications;
    auto &registry = components::Registry::instance();
    auto real = registry.factory(excel::ApplicationClass);
    registry.registerFactory(excel::ApplicationClass, [&applications, real] {
        auto object = real();
        applications.push_back(std::dynamic_pointer_cast<excel::Application>(object));
        return object;
    });
    const double peakBefore = peakMegabytes();

    // The window as a user leaves it: entries filled, the one table ticked.
    Form1 &connection = form1();
    connection.Text1->setText(file);
    connection.Text7->setText(QStringLiteral("SYSDBA"));
    connection.Text2->setText(QString());
    const double databaseRate = readRate(FireBird::currentConnectionString());
    connection.PushButton2_Click();
    Form2 &window = form2();
    window.PushButton8_Click();

    QElapsedTimer timer;
    timer.start();
    window.PushButton5_Click();
    const double exportSeconds = timer.nsecsElapsed() / 1e9;
    const double exportRate = double(rows + 1) * columns / exportSeconds;
    const double peakAfter = peakMegabytes();
    if (boxes->prompts() != std::vector<QString>{QStringLiteral("Done.")}) {
        for (const auto &prompt : boxes->prompts())
            print(QStringLiteral("Message: ") + prompt);
        return 1;
    }

    // The component alone, cell by cell into a fresh sheet of the same office.
    auto book = applications.back()->workbooks().Add();
    const spreadsheet_bench::WriteRate component = spreadsheet_bench::writeThroughComponent(*book->ActiveSheet(), rows + 1, columns);

    print(QStringLiteral("export (PushButton5_Click):     %1 cells/s (%2 s)").arg(number(exportRate)).arg(exportSeconds, 0, 'f', 2));
    print(QStringLiteral("component-only write into Calc: %1 cells/s").arg(number(component.cellsPerSecond())));
    print(QStringLiteral("database read through component:%1 cells/s").arg(number(databaseRate)));
    print(QStringLiteral("export / component write:       %1 (target >= 0.5)").arg(exportRate / component.cellsPerSecond(), 0, 'f', 2));
    print(QStringLiteral("peak memory of this process:    %1 MB before the export, %2 MB after").arg(number(peakBefore), number(peakAfter)));

    for (auto &application : applications) {
        try {
            ::kill(-pid_t(calc_inspection::officeProcessId(*application)), SIGKILL);
        } catch (...) {
        }
    }
    std::fflush(stdout);
    std::quick_exit(0);
}

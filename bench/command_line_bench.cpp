// The command line's export of a generated table (100,000 rows x 10 columns
// = 1,000,000 cells by default), timed as a scheduled job sees it: the
// whole program, from its start to its end. Beside it, from the same run:
// what an .xlsx made through Calc costs at the least, Calc's own ingest of
// the same cells made beforehand into an office already running and its
// store of them as .xlsx, and the command's export to .csv. Ratios are
// medians over the rounds. No display is used.
//
// With --memory, the peak memory of the program writing .xlsx at two sizes
// of the table instead (10,000 and 1,000,000 rows by default): it must not
// grow with the table.
//
// command_line_bench [rows] [rounds]
// command_line_bench --memory [small rows] [large rows]

#include "calc_direct_write.h"
#include "connection_string.h"
#include "generated_table.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Run {
    double seconds = -1; // negative when the command failed
    long peakKilobytes = 0;
};

// The program exporting the table into output: its time, and its peak
// memory as the kernel counted it (which starts from this process's own at
// the start: compare runs started from the same state only).
Run command(const QString &database, const QString &output)
{
    const QByteArray program = MARROWBECK_PROGRAM_DIR "/marrowbeck";
    const QByteArray databaseArgument = database.toLocal8Bit();
    const QByteArray outputArgument = output.toLocal8Bit();
    char *arguments[] = {const_cast<char *>(program.constData()), const_cast<char *>("--export"),
                         const_cast<char *>(databaseArgument.constData()), const_cast<char *>("--output"),
                         const_cast<char *>(outputArgument.constData()), nullptr};
    QElapsedTimer clock;
    clock.start();
    pid_t child = 0;
    if (::posix_spawn(&child, program.constData(), nullptr, nullptr, arguments, environ) != 0)
        return {};
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    Run run{clock.nsecsElapsed() / 1e9, usage.ru_maxrss};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        print(QStringLiteral("the command to %1 failed").arg(output));
        run.seconds = -1;
    }
    return run;
}

QString thousands(qint64 n) { return QLocale(QLocale::English).toString(n); }

int memoryRun(const QTemporaryDir &home, int smallRows, int largeRows)
{
    std::vector<long> peaks;
    for (const int rows : {smallRows, largeRows}) {
        const QString database = home.filePath(QStringLiteral("bench-%1.fdb").arg(rows));
        if (!bench_table::createTable(database, rows))
            return 1;
        QTemporaryDir out;
        const Run run = command(database, out.filePath(QStringLiteral("big.xlsx")));
        if (run.seconds < 0)
            return 1;
        peaks.push_back(run.peakKilobytes);
        print(QStringLiteral("%1 cells to .xlsx: %2 s, peak memory %3 MB, file %4 KB")
                  .arg(thousands(qint64(rows) * bench_table::columns))
                  .arg(run.seconds, 0, 'f', 2)
                  .arg(run.peakKilobytes / 1024.0, 0, 'f', 1)
                  .arg(QFileInfo(out.filePath(QStringLiteral("big.xlsx"))).size() / 1024));
    }
    print(QStringLiteral("peak memory grows by %1 MB").arg((peaks[1] - peaks[0]) / 1024.0, 0, 'f', 1));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    if (argc > 1 && QLatin1String(argv[1]) == QLatin1String("--memory")) {
        const int smallRows = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10000;
        const int largeRows = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 1000000;
        return memoryRun(home, smallRows, largeRows);
    }
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int rounds = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 3;

    const QString database = home.filePath(QStringLiteral("bench.fdb"));
    if (!bench_table::createTable(database, rows))
        return 1;
    print(QStringLiteral("Table BIG: %1 rows x %2 columns = %3 cells, read by the program's own file reader")
              .arg(thousands(rows), QString::number(bench_table::columns), thousands(qint64(rows) * bench_table::columns)));
    registerDatabaseAccessComponents();
    registerSpreadsheetAutomationComponents();
    const auto cells =
        bench_table::tableCells(dbaccess::connectionString(dbaccess::enteredLogin(database, QStringLiteral("SYSDBA"), QString())));
    auto office = components::create<excel::Application>(excel::ApplicationClass);

    std::vector<double> throughCalc, toCsv;
    for (int round = 1; round <= rounds; ++round) {
        QTemporaryDir out;
        const Run xlsx = command(database, out.filePath(QStringLiteral("big.xlsx")));
        const Run csv = command(database, out.filePath(QStringLiteral("big.csv")));
        if (xlsx.seconds < 0 || csv.seconds < 0)
            return 1;

        auto workbook = office->workbooks().Add();
        const auto ingest = spreadsheet_bench::ingestPremadeInBlocks(*office, workbook->ActiveSheet()->Name(), cells,
                                                                     65536 / bench_table::columns);
        QElapsedTimer clock;
        clock.start();
        workbook->SaveAs(out.filePath(QStringLiteral("calc.xlsx")));
        const double store = clock.nsecsElapsed() / 1e9;

        throughCalc.push_back((ingest.seconds + store) / xlsx.seconds);
        toCsv.push_back(xlsx.seconds / csv.seconds);
        print(QStringLiteral("round %1: command to .xlsx %2 s (%3 KB); Calc's ingest %4 s + store %5 s (%6 KB); "
                             "command to .csv %7 s (%8 KB)")
                  .arg(round)
                  .arg(xlsx.seconds, 0, 'f', 2)
                  .arg(QFileInfo(out.filePath(QStringLiteral("big.xlsx"))).size() / 1024)
                  .arg(ingest.seconds, 0, 'f', 2)
                  .arg(store, 0, 'f', 2)
                  .arg(QFileInfo(out.filePath(QStringLiteral("calc.xlsx"))).size() / 1024)
                  .arg(csv.seconds, 0, 'f', 2)
                  .arg(QFileInfo(out.filePath(QStringLiteral("big_BIG.csv"))).size() / 1024));
    }
    print(QStringLiteral("(Calc's ingest + store) / command to .xlsx: median %1 over %2 rounds")
              .arg(median(throughCalc), 0, 'f', 2).arg(rounds));
    print(QStringLiteral("command to .xlsx / command to .csv: median %1").arg(median(toCsv), 0, 'f', 2));
    // The office started here is ended with the program.
    std::quick_exit(0);
}

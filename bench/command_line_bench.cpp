// The command line's export to .xlsx of a generated table (100,000 rows x 10
// columns = 1,000,000 cells by default), timed as a scheduled job sees it:
// the whole program, from its start to its end, office start and close
// included. Beside it, from the same run: Calc's own ingest of the same
// cells made beforehand into an office already running, then Calc's own
// store of them as .xlsx (the least any .xlsx made through Calc can cost),
// and the command's export of the same table to .csv, which needs no office.
// Ratios are medians over the rounds. No display is used.
//
// command_line_bench [rows] [rounds]

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

// Seconds the program takes to export the table into output, or a negative
// value when it fails.
double commandSeconds(const QString &database, const QString &output)
{
    QProcess program;
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(MARROWBECK_PROGRAM_DIR "/marrowbeck"),
                  {QStringLiteral("--export"), database, QStringLiteral("--output"), output});
    program.waitForFinished(-1);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0) {
        print(QStringLiteral("the command failed: ") + QString::fromLocal8Bit(program.readAllStandardError()));
        return -1;
    }
    return seconds;
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
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const int rounds = argc > 2 ? std::max(1, QString::fromLocal8Bit(argv[2]).toInt()) : 3;

    const QString database = home.filePath(QStringLiteral("bench.fdb"));
    if (!bench_table::createTable(database, rows))
        return 1;
    print(QStringLiteral("Table BIG: %1 rows x %2 columns = %3 cells, read by the program's own file reader")
              .arg(QLocale(QLocale::English).toString(rows), QString::number(bench_table::columns),
                   QLocale(QLocale::English).toString(qint64(rows) * bench_table::columns)));
    registerDatabaseAccessComponents();
    registerSpreadsheetAutomationComponents();
    const auto cells = bench_table::tableCells(FireBird::connectionString(database, QStringLiteral("SYSDBA"), QString()));
    auto office = components::create<excel::Application>(excel::ApplicationClass);

    std::vector<double> toCalc, toCsv;
    for (int round = 1; round <= rounds; ++round) {
        QTemporaryDir out;
        const double xlsx = commandSeconds(database, out.filePath(QStringLiteral("big.xlsx")));
        const double csv = commandSeconds(database, out.filePath(QStringLiteral("big.csv")));
        if (xlsx < 0 || csv < 0)
            return 1;

        auto workbook = office->workbooks().Add();
        const auto ingest = spreadsheet_bench::ingestPremadeInBlocks(*office, workbook->ActiveSheet()->Name(), cells,
                                                                     65536 / bench_table::columns);
        QElapsedTimer clock;
        clock.start();
        workbook->SaveAs(out.filePath(QStringLiteral("calc.xlsx")));
        const double store = clock.nsecsElapsed() / 1e9;

        toCalc.push_back(xlsx / (ingest.seconds + store));
        toCsv.push_back(xlsx / csv);
        print(QStringLiteral("round %1: command to .xlsx %2 s (%3 KB); Calc's ingest %4 s + store %5 s (%6 KB); "
                             "command to .csv %7 s (%8 KB)")
                  .arg(round)
                  .arg(xlsx, 0, 'f', 2)
                  .arg(QFileInfo(out.filePath(QStringLiteral("big.xlsx"))).size() / 1024)
                  .arg(ingest.seconds, 0, 'f', 2)
                  .arg(store, 0, 'f', 2)
                  .arg(QFileInfo(out.filePath(QStringLiteral("calc.xlsx"))).size() / 1024)
                  .arg(csv, 0, 'f', 2)
                  .arg(QFileInfo(out.filePath(QStringLiteral("big_BIG.csv"))).size() / 1024));
    }
    print(QStringLiteral("command to .xlsx / (Calc's ingest + store): median %1 over %2 rounds")
              .arg(median(toCalc), 0, 'f', 2).arg(rounds));
    print(QStringLiteral("command to .xlsx / command to .csv: median %1").arg(median(toCsv), 0, 'f', 2));
    // The office started here is ended with the program.
    std::quick_exit(0);
}

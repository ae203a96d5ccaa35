// How fast text cells reach Calc: through the component (cell by cell, as
// the export writes), directly in one bulk call per 1,000-row block, and one
// call per cell as a naive automation client would. The component should
// keep at least 0.8 of the direct rate.
//
// spreadsheet_write_bench [rows] [columns] [rounds]

#include "calc_direct_write.h"
#include "calc_inspection.h"
#include "register_spreadsheet_automation.h"
#include "spreadsheet_write_rate.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using spreadsheet_bench::WriteRate;

namespace {

constexpr int blockRows = 1000;
constexpr int cellByCellSample = 20000;
constexpr double target = 0.8;

int argument(int argc, char **argv, int index, int fallback)
{
    return argc > index ? std::max(1, QString::fromLocal8Bit(argv[index]).toInt()) : fallback;
}

QString number(double value, int decimals = 0)
{
    return QLocale(QLocale::English).toString(value, 'f', decimals);
}

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Each round gets a fresh sheet, deleted after it so the office's memory
// does not grow from round to round; every last cell is checked to have
// arrived, so a rate never counts cells still on their way.
WriteRate bestOf(int rounds, excel::Application &application, excel::Workbook &workbook, int rows, int columns,
                 const std::function<WriteRate(excel::Worksheet &)> &write)
{
    WriteRate best;
    for (int round = 0; round < rounds; ++round) {
        auto sheet = workbook.worksheets().Add();
        const WriteRate rate = write(*sheet);
        const QVariant last =
            calc_inspection::cellValues(application, sheet->Name(), rows, columns, 1, 1).front().front();
        if (last.toString() != spreadsheet_bench::cellText(rows, columns)) {
            print(QStringLiteral("The last cell did not arrive: %1").arg(last.toString()));
            std::exit(2);
        }
        if (best.seconds == 0 || rate.seconds < best.seconds)
            best = rate;
        sheet->Delete();
    }
    return best;
}

QString line(const QString &what, const WriteRate &rate)
{
    return QStringLiteral("  %1 %2 s  %3 cells/s")
        .arg(what.leftJustified(44), number(rate.seconds, 2).rightJustified(7),
             number(rate.cellsPerSecond()).rightJustified(10));
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argument(argc, argv, 1, 100000);
    const int columns = argument(argc, argv, 2, 10);
    const int rounds = argument(argc, argv, 3, 3);
    // The measure is the office's writing, not its drawing.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");

    try {
        registerSpreadsheetAutomationComponents();
        auto application = components::create<excel::Application>(excel::ApplicationClass);
        auto workbook = application->workbooks().Add();

        print(QStringLiteral("Writing %1 text cells (%2 rows x %3 columns) into LibreOffice Calc, best of %4:")
                  .arg(number(double(rows) * columns), number(rows), number(columns), number(rounds)));
        const WriteRate direct = bestOf(rounds, *application, *workbook, rows, columns, [&](excel::Worksheet &sheet) {
            return spreadsheet_bench::writeDirectInBlocks(*application, sheet.Name(), rows, columns, blockRows);
        });
        print(line(QStringLiteral("direct, one bulk call per %1-row block").arg(number(blockRows)), direct));

        const WriteRate component = bestOf(rounds, *application, *workbook, rows, columns, [&](excel::Worksheet &sheet) {
            return spreadsheet_bench::writeThroughComponent(sheet, rows, columns);
        });
        const double ratio = component.cellsPerSecond() / direct.cellsPerSecond();
        print(line(QStringLiteral("through the component, cell by cell"), component)
              + QStringLiteral("  ratio %1 (target %2)").arg(number(ratio, 2), number(target, 2)));

        const int sampleRows = std::clamp(cellByCellSample / columns, 1, rows);
        const WriteRate naive = bestOf(1, *application, *workbook, sampleRows, columns, [&](excel::Worksheet &sheet) {
            return spreadsheet_bench::writeDirectCellByCell(*application, sheet.Name(), sampleRows, columns);
        });
        const WriteRate naiveWhole{static_cast<long long>(rows) * columns,
                                   double(rows) * columns / naive.cellsPerSecond()};
        print(line(QStringLiteral("one call per cell (from %1 cells)").arg(number(double(naive.cells))), naiveWhole)
              + QStringLiteral("  ratio %1").arg(number(naive.cellsPerSecond() / direct.cellsPerSecond(), 3)));

        print(ratio >= target ? QStringLiteral("The component keeps %1 of the direct rate.").arg(number(ratio, 2))
                              : QStringLiteral("BELOW TARGET: the component keeps only %1 of the direct rate.")
                                    .arg(number(ratio, 2)));
        return ratio >= target ? 0 : 1;
    } catch (const components::ComponentError &e) {
        print(QStringLiteral("Failed: %1").arg(e.description()));
        return 2;
    }
}

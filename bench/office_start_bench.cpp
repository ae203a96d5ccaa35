// How long the office takes to answer, and how often a start fails, the way
// the program starts it: the start-up check alone, the check taking the
// spare office that the table window starts, and a fresh profile each time.
// Run it on an idle machine and again with both cores busy
// (`yes > /dev/null &` twice): the times grow, the failures must stay 0.
//
// office_start_bench [rounds]

#include "calc_inspection.h"
#include "component_error.h"
#include "register_spreadsheet_automation.h"
#include "registry.h"
#include "spreadsheet_automation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// An application that made a workbook is not given back as the spare: its
// office closes with it, and the next round starts another.
void measure(const char *what, int rounds, const std::function<void()> &beforeEach, bool useIt = false)
{
    std::vector<qint64> times;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        beforeEach();
        QElapsedTimer clock;
        clock.start();
        try {
            auto application = components::create<excel::Application>(excel::ApplicationClass);
            times.push_back(clock.elapsed());
            if (useIt)
                application->workbooks().Add();
        } catch (const components::ComponentError &error) {
            ++failures;
            print(QStringLiteral("  %1, round %2 failed after %3 ms: %4")
                      .arg(QString::fromLatin1(what), QString::number(round + 1), QString::number(clock.elapsed()), error.description()));
        }
    }
    std::sort(times.begin(), times.end());
    const auto at = [&](double share) { return times.empty() ? 0 : times[std::size_t(share * double(times.size() - 1))]; };
    print(QStringLiteral("%1: %2 of %3 started; ms to answer: min %4, median %5, max %6")
              .arg(QString::fromLatin1(what), QString::number(times.size()), QString::number(rounds), QString::number(at(0)),
                   QString::number(at(0.5)), QString::number(at(1))));
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10;
    registerSpreadsheetAutomationComponents();
    measure("check alone, profile reused", rounds, [] {});
    measure("check taking the spare", rounds,
            [] { components::Registry::instance().prepare(excel::ApplicationClass); }, true);
    // A program that ends kills the offices nobody has seen, and may be
    // started again at once, on the same profile.
    std::shared_ptr<excel::Application> killed;
    measure("check right after the last office was killed", rounds, [&] {
        killed = components::create<excel::Application>(excel::ApplicationClass);
        killed->workbooks().Add();
        ::kill(-pid_t(calc_inspection::officeProcessId(*killed)), SIGKILL);
    });
    std::vector<std::unique_ptr<QTemporaryDir>> caches;
    measure("check alone, fresh profile", rounds, [&] {
        caches.push_back(std::make_unique<QTemporaryDir>());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(caches.back()->path()));
    });
    return 0;
}

#include "stderr_reports.h"

#include "failure_report.h"

#include <cstdio>
#include <cstdlib>

namespace command_line {

QString failureLine(const QString &prompt)
{
    // The prompt is the description, CR LF, then where it happened and the
    // support line, which tell a script's reader nothing.
    const qsizetype end = prompt.lastIndexOf(QStringLiteral("\r\n"));
    QString line = end < 0 ? prompt : prompt.left(end);
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line.trimmed();
}

void printLine(const QString &text)
{
    std::fprintf(stderr, "marrowbeck: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int StandardErrorReports::show(const QString &prompt, int, const QString &title)
{
    if (title == frame::failureReportTitle) {
        m_beforeLine();
        printLine(failureLine(prompt));
        m_onFailure();
    } else if (prompt != QStringLiteral("Done.")) {
        m_beforeLine();
        printLine(prompt);
    }
    return frame::vbOK;
}

void StoppedTerminator::endProgram()
{
    m_beforeLine();
    printLine(QStringLiteral("Stopped by a signal before the export was complete."));
    // The offices and the unfinished files go in the quick-exit handlers.
    std::quick_exit(2);
}

} // namespace command_line

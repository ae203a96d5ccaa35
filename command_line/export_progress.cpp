#include "export_progress.h"

#include <QLocale>
#include <cstdio>

namespace command_line {
namespace {

// Often enough to see it move, rarely enough to cost nothing.
constexpr qint64 showEveryMs = 250;

} // namespace

void ExportProgress::startTable(const QString &name)
{
    m_table = name;
    m_row = 0;
    m_rows = 0;
    m_tableClock.start();
    m_shownClock.invalidate();
    show();
}

void ExportProgress::rowReached(int row, int rows)
{
    m_row = row;
    m_rows = rows;
    if (!m_shownClock.isValid() || m_shownClock.elapsed() >= showEveryMs || row == rows)
        show();
}

void ExportProgress::show()
{
    if (!m_shown)
        return;
    m_shownClock.start();
    const QLocale locale;
    const double seconds = double(m_tableClock.elapsed()) / 1000.0;
    QString line = QStringLiteral("%1: row %2 of %3").arg(m_table, locale.toString(m_row), locale.toString(m_rows));
    if (seconds > 0.5)
        line += QStringLiteral(", %1 rows/s").arg(locale.toString(qRound64(m_row / seconds)));
    showLine(line);
}

void ExportProgress::saving(const QString &fileName)
{
    if (m_shown)
        showLine(QStringLiteral("Saving %1").arg(fileName));
}

void ExportProgress::showLine(const QString &line)
{
    // Back to the line's start and the rest of the old line wiped.
    std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
    std::fflush(stderr);
    m_lineShown = true;
}

void ExportProgress::clear()
{
    if (!m_lineShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_lineShown = false;
}

} // namespace command_line

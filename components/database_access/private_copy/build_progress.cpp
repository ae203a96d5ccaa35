#include "build_progress.h"

#include "component_error.h"

#include <algorithm>

namespace dbaccess {

BuildProgress::BuildProgress(ado::PreparationProgress &progress, CopyLock &lock, QString database, long long units)
    : m_progress(progress), m_lock(lock), m_database(std::move(database)), m_units(std::max(units, 1LL))
{
    m_sinceShown.start();
    show(0);
}

void BuildProgress::advance()
{
    ++m_done;
    const int percent = int(std::min(m_done, m_units) * 100 / m_units);
    // Often enough for the window to stay responsive on a slow table.
    if (percent != m_shown || m_sinceShown.elapsed() >= 100)
        show(percent);
}

void BuildProgress::finish()
{
    show(100);
}

void BuildProgress::show(int percent)
{
    if (percent != m_shown)
        m_lock.publish(percent);
    m_shown = percent;
    m_progress.preparing(m_database, percent);
    m_sinceShown.restart();
}

long long copyUnits(const ods::Database &database)
{
    long long units = 0;
    for (const auto &relation : database.relations()) {
        if (relation.system)
            continue;
        try {
            units += relation.view ? 1 : database.count(relation);
        } catch (const components::ComponentError &) {
            // Rows the reader cannot reach are not copied either: the copy
            // reports that table alone, the count leaves it out.
        }
        for (const auto &column : relation.columns)
            units += !column.computedSource.isEmpty();
    }
    return units;
}

} // namespace dbaccess

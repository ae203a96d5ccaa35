#include "guarded_procedure.h"

#include "component_error.h"
#include "failure_report.h"

#include <exception>

namespace frame {

QString procedureLocation(QStringView module, QStringView procedure)
{
    return QStringLiteral("in Marrowbeck2021/08/31.%1.%2 ").arg(module, procedure);
}

GuardedProcedure::GuardedProcedure(QString location) : m_location(std::move(location)) {}

QString describeCurrentException()
{
    try {
        throw;
    } catch (const components::ComponentError &error) {
        return error.description();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Out of memory.");
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("An unexpected internal fault occurred.");
    }
}

bool GuardedProcedure::step(int number, const std::function<void()> &action)
{
    m_step = number;
    try {
        action();
        return true;
    } catch (...) {
        report(describeCurrentException());
        return false;
    }
}

bool GuardedProcedure::test(int number, const std::function<bool()> &condition)
{
    bool result = true;
    step(number, [&] { result = condition(); });
    return result;
}

void GuardedProcedure::whileLoop(int number, const std::function<bool()> &condition, const std::function<bool()> &body)
{
    for (;;) {
        bool holds = false;
        if (!step(number, [&] { holds = condition(); }))
            return;
        if (!holds || !body())
            return;
    }
}

void GuardedProcedure::report(const QString &description)
{
    ++m_failures;
    if (m_sayEvery) {
        m_reportedThisRound = true;
        m_reportedSteps.insert(m_step);
        reportFailure(m_subject + description + (m_sayEveryNote ? m_sayEveryNote() : QString()), m_location, m_step);
        return;
    }
    if (m_reportFirstFailureOnly && m_reportedThisRound)
        return;
    if (m_reportEachStepOnce && !m_reportedSteps.insert(m_step).second)
        return;
    m_reportedThisRound = true;
    reportFailure(m_subject + description, m_location, m_step);
}

} // namespace frame

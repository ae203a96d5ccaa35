#pragma once

// Helpers for tests that start a real office through the Calc component.

#include "calc_inspection.h"
#include "register_spreadsheet_automation.h"
#include "spreadsheet_automation.h"

#include <QElapsedTimer>
#include <QThread>
#include <csignal>
#include <memory>

namespace calc_test {

inline std::shared_ptr<excel::Application> startApplication()
{
    registerSpreadsheetAutomationComponents();
    return components::create<excel::Application>(excel::ApplicationClass);
}

inline bool officeRuns(qint64 processGroup)
{
    return ::kill(-pid_t(processGroup), 0) == 0;
}

inline bool waitUntilOfficeEnds(qint64 processGroup, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (officeRuns(processGroup)) {
        if (timer.elapsed() > milliseconds)
            return false;
        QThread::msleep(20);
    }
    return true;
}

// No office of a test may outlive it, whatever the test left it in.
class OfficeGuard {
public:
    explicit OfficeGuard(const excel::Application &application)
        : m_processGroup(calc_inspection::officeProcessId(application)) {}
    ~OfficeGuard() { ::kill(-pid_t(m_processGroup), SIGKILL); }
    OfficeGuard(const OfficeGuard &) = delete;
    OfficeGuard &operator=(const OfficeGuard &) = delete;

    qint64 processGroup() const { return m_processGroup; }

private:
    qint64 m_processGroup;
};

} // namespace calc_test

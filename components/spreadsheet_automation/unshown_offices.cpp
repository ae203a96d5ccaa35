#include "unshown_offices.h"

#include "component_error.h"

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <set>

namespace calc {

namespace {

struct UnshownOffices {
    std::mutex mutex;
    std::set<qint64> processGroups;
    bool programEnding = false;
};

UnshownOffices &unshownOffices()
{
    static UnshownOffices offices;
    return offices;
}

// The program is ending at once: there is no time to ask an office to close,
// and nothing in it is anybody's.
void endUnshownOffices()
{
    UnshownOffices &offices = unshownOffices();
    std::lock_guard lock(offices.mutex);
    offices.programEnding = true;
    for (const qint64 group : offices.processGroups)
        ::kill(-pid_t(group), SIGKILL);
    offices.processGroups.clear();
}

} // namespace

void startListedOffice(const std::function<qint64()> &start)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        // Made before the handlers are installed, so it is still there when
        // they run at exit.
        unshownOffices();
        std::at_quick_exit(endUnshownOffices);
        std::atexit(endUnshownOffices);
    });
    UnshownOffices &offices = unshownOffices();
    std::lock_guard lock(offices.mutex);
    if (offices.programEnding)
        throw components::ComponentError(QStringLiteral("LibreOffice Calc is not started: the program is ending."));
    offices.processGroups.insert(start());
}

void forgetUnshownOffice(qint64 processGroup)
{
    UnshownOffices &offices = unshownOffices();
    std::lock_guard lock(offices.mutex);
    offices.processGroups.erase(processGroup);
}

} // namespace calc

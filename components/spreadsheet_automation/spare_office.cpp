#include "spare_office.h"

#include <future>
#include <mutex>

namespace calc::SpareOffice {

namespace {

struct Spare {
    std::mutex mutex;
    std::shared_ptr<OfficeSession> ready;
    std::future<std::shared_ptr<OfficeSession>> starting;
};

// Never destroyed: at exit a start may still be under way, and waiting for
// it then would hold up the end of the program.
Spare &spare()
{
    static Spare *instance = new Spare;
    return *instance;
}

} // namespace

void prepare()
{
    Spare &s = spare();
    std::lock_guard lock(s.mutex);
    if (s.ready && !s.ready->isRunning())
        s.ready.reset();
    if (s.ready || s.starting.valid())
        return;
    s.starting = std::async(std::launch::async, []() -> std::shared_ptr<OfficeSession> {
        try {
            auto session = OfficeSession::start();
            session->makeWorkbookAhead();
            return session;
        } catch (...) {
            // The export starts its own office and reports why it cannot.
            return nullptr;
        }
    });
}

std::shared_ptr<OfficeSession> take()
{
    Spare &s = spare();
    std::shared_ptr<OfficeSession> session;
    std::future<std::shared_ptr<OfficeSession>> starting;
    {
        std::lock_guard lock(s.mutex);
        session = std::move(s.ready);
        starting = std::move(s.starting);
    }
    if (!session && starting.valid())
        session = starting.get();
    if (session && !session->isRunning())
        session.reset();
    return session;
}

void giveBack(std::shared_ptr<OfficeSession> session)
{
    if (!session || !session->isRunning())
        return;
    Spare &s = spare();
    std::lock_guard lock(s.mutex);
    if (!s.ready && !s.starting.valid())
        s.ready = std::move(session);
}

} // namespace calc::SpareOffice

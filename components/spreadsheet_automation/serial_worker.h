#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace calc {

// Runs jobs one after another, in the order given, on a thread of its own,
// so the caller can prepare the next job while the last one runs. At most
// one job waits behind the running one, which bounds what is held.
//
// A job that throws does not stop the ones after it, and its failure is
// never lost: it is thrown to the caller by a later post() or finish(), each
// failure once, oldest first.
class SerialWorker {
public:
    SerialWorker();
    // Runs the jobs still given, then ends; failures not yet thrown are dropped.
    ~SerialWorker();

    SerialWorker(const SerialWorker &) = delete;
    SerialWorker &operator=(const SerialWorker &) = delete;

    // The job is always taken, even when an earlier failure is thrown here.
    void post(std::function<void()> job);
    // Returns once every job given has run.
    void finish();

private:
    void run();
    void throwOldestFailure(std::unique_lock<std::mutex> &lock);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<std::function<void()>> m_waiting;
    bool m_running = false;
    bool m_ending = false;
    std::deque<std::exception_ptr> m_failures;
    std::thread m_thread;
};

} // namespace calc

#include "serial_worker.h"

namespace calc {

SerialWorker::SerialWorker() : m_thread([this] { run(); }) {}

SerialWorker::~SerialWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void SerialWorker::post(std::function<void()> job)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_waiting; });
    m_waiting = std::move(job);
    m_changed.notify_all();
    throwOldestFailure(lock);
}

void SerialWorker::finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_waiting && !m_running; });
    throwOldestFailure(lock);
}

void SerialWorker::throwOldestFailure(std::unique_lock<std::mutex> &lock)
{
    if (m_failures.empty())
        return;
    const std::exception_ptr failure = m_failures.front();
    m_failures.pop_front();
    lock.unlock();
    std::rethrow_exception(failure);
}

void SerialWorker::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_waiting || m_ending; });
        if (!m_waiting)
            return;
        std::function<void()> job = std::move(*m_waiting);
        m_waiting.reset();
        m_running = true;
        m_changed.notify_all();
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        // The job's captures (a whole block of cells) go before we report
        // it done, so a caller that finished holds no block any more.
        job = nullptr;
        lock.lock();
        if (failure)
            m_failures.push_back(failure);
        m_running = false;
        m_changed.notify_all();
    }
}

} // namespace calc

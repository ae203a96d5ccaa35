#pragma once

// What the fault tests need around the program: a watchdog that ends a hung
// test, measurements of our own process, and a Firebird server of the test's
// own that it may kill and restart without touching anyone else's.

#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace reliability {

// Ends the whole test program (after killing the offices and the server it
// started) when the guarded work is not over within the limit: a hang fails
// loudly instead of waiting for CTest's timeout.
class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit);
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

struct ProcessUsage {
    long rssKb = 0;
    long peakRssKb = 0;
    int descriptors = 0;
    int threads = 0;
    int offices = 0; // office processes descended from us, still running
};

ProcessUsage usage();

// The peak of our resident memory since the last reset (VmHWM; getrusage's
// peak cannot be reset, so one case's peak would hide the next one's).
void resetPeakMemory();
long peakMemoryKb();

// Every office process (soffice.bin, oosplash) that descends from us.
std::vector<pid_t> ourOffices();
void killOurOffices();
// True when none is left within the time.
bool waitUntilNoOffices(std::chrono::milliseconds limit);
// The office processes a program of that process id started, known by the
// pipe named after it whoever their parent is now; an ended one left as a
// zombie has no command line and does not count.
std::vector<pid_t> officesStartedBy(qint64 programId);

// A Firebird server on a port of its own, with its own security database and
// lock folder, run as user firebird when we are root (so file permissions
// apply to it as they would to a real server).
class PrivateServer {
public:
    // Empty when a server cannot be had; why is in `reason`.
    static bool available(QString *reason);

    PrivateServer();
    ~PrivateServer();

    bool start(QString *error);
    // SIGKILL to the guardian and the server, as a crash or an administrator
    // would; returns once both are gone.
    void kill();
    void stop();

    QString host() const;
    QString folder() const { return m_root + QStringLiteral("/db"); }
    QString user() const { return QStringLiteral("SYSDBA"); }
    QString password() const { return QStringLiteral("reliability"); }
    bool runsAsFirebird() const { return m_asFirebird; }

private:
    QString m_root;
    int m_port = 0;
    pid_t m_guardian = 0;
    bool m_asFirebird = false;
};

// Registered so the watchdog can stop it too.
void rememberServer(PrivateServer *server);

} // namespace reliability

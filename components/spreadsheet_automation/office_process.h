#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

namespace calc {

// The office as an operating-system process: started in a session of its own
// (so a terminal or desktop session that ends takes our program down, but
// not the workbook we left to the user), and watched, so that an office that
// ends is noticed at once instead of being waited for.
class OfficeProcess {
public:
    // Throws components::ComponentError when the program cannot be started.
    // The office's output goes to logFile.
    static std::unique_ptr<OfficeProcess> start(const QString &program, const QStringList &arguments,
                                                const QString &logFile);
    // Never stops the office: one left to the user must outlive us.
    ~OfficeProcess() = default;
    // Until this is called the office ends with our program, even with one
    // killed outright: an office nobody can see must not run on for ever.
    void outliveUs();

    // Leader of the office's process group: the launcher, and soffice.bin
    // under it, share it.
    qint64 processId() const { return m_processId; }
    bool hasEnded() const;
    // How it ended, for the user ("it was killed by signal 9").
    QString endDescription() const;
    // Ended by a signal rather than by its own exit: someone stopped it.
    bool endedBySignal() const;
    bool waitForEnd(std::chrono::milliseconds timeout) const;
    // Processor time used so far by the processes of the office's session
    // that still run, in clock ticks: while it grows, a slow start is a
    // start, not a hang.
    qint64 processorTicks() const;
    // The whole process group, so no soffice.bin is left behind.
    void kill();

    struct Watch;

private:
    OfficeProcess(qint64 processId, std::shared_ptr<Watch> watch);

    qint64 m_processId;
    std::shared_ptr<Watch> m_watch;
};

} // namespace calc

#include "office_process.h"

#include "component_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>
#include <vector>

extern char **environ;

namespace calc {

struct OfficeProcess::Watch {
    mutable std::mutex mutex;
    mutable std::condition_variable ended;
    bool hasEnded = false;
    int status = 0;
    int keeper = -1;
};

namespace {

// Our client needs URE_BOOTSTRAP for itself; the office must find its own.
std::vector<QByteArray> officeEnvironment()
{
    std::vector<QByteArray> environment;
    for (char **entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "URE_BOOTSTRAP=", 14) != 0)
            environment.emplace_back(*entry);
    }
    return environment;
}

std::vector<char *> pointersTo(std::vector<QByteArray> &strings)
{
    std::vector<char *> pointers;
    for (QByteArray &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

QString cannotStart(const QString &program, const QString &reason)
{
    return QStringLiteral("LibreOffice Calc could not be started: %1 (%2). "
                          "Please make sure LibreOffice Calc is installed.")
        .arg(reason, QDir::toNativeSeparators(program));
}

// A program in a session of its own, its input from `input` (-1: nothing),
// its output into the file `output`. Returns 0 or the error number.
int spawnInSession(std::vector<char *> &argv, char **envp, int input, const QByteArray &output, pid_t &pid)
{
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (input < 0)
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&files, input, 0);
    posix_spawn_file_actions_addopen(&files, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    // The office outlives our work: it must not inherit our descriptors. An
    // inherited database file keeps the engine's file lock alive in the
    // office, and the next attachment to that file is refused as "in use".
    posix_spawn_file_actions_addclosefrom_np(&files, 3);

    // We ignore SIGPIPE for the UNO bridge; the office must get it back, and
    // must not inherit whatever signals our threads have blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const int error = posix_spawn(&pid, argv[0], &files, &attributes, argv.data(), envp);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    return error;
}

void reapInBackground(pid_t pid, const std::function<void(int)> &ended)
{
    std::thread([pid, ended] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ended(status);
    }).detach();
}

// A keeper that ends the office's whole group once we are gone, however we
// end (a SIGKILL runs none of our own clean-up): the kernel closes our end of
// its pipe with us. Told "keep" when the office is the user's, it ends
// quietly. Returns our end of the connection, or -1 when no keeper runs.
int startKeeper(qint64 group)
{
    // A socket rather than a pipe: a keeper gone already costs no SIGPIPE.
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return -1;
    std::vector<QByteArray> argumentStrings{"/bin/sh", "-c",
                                            "IFS= read -r word; [ \"$word\" = keep ] || kill -9 -\"$0\"",
                                            QByteArray::number(group)};
    std::vector<char *> argv = pointersTo(argumentStrings);
    pid_t keeper = 0;
    const int error = spawnInSession(argv, environ, ends[0], "/dev/null", keeper);
    ::close(ends[0]);
    if (error != 0) {
        ::close(ends[1]);
        return -1;
    }
    reapInBackground(keeper, [](int) {});
    return ends[1];
}

void releaseKeeper(int &keeper)
{
    if (keeper < 0)
        return;
    const char word[] = "keep\n";
    [[maybe_unused]] const ssize_t sent = ::send(keeper, word, sizeof word - 1, MSG_NOSIGNAL);
    ::close(keeper);
    keeper = -1;
}

} // namespace

OfficeProcess::OfficeProcess(qint64 processId, std::shared_ptr<Watch> watch)
    : m_processId(processId), m_watch(std::move(watch))
{
}

std::unique_ptr<OfficeProcess> OfficeProcess::start(const QString &program, const QStringList &arguments,
                                                    const QString &logFile)
{
    const QFileInfo programInfo(program);
    if (!programInfo.exists())
        throw components::ComponentError(cannotStart(program, QStringLiteral("the program was not found")));
    if (!programInfo.isExecutable() || programInfo.isDir())
        throw components::ComponentError(cannotStart(program, QStringLiteral("the file is not a program")));

    std::vector<QByteArray> argumentStrings{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        argumentStrings.push_back(argument.toLocal8Bit());
    std::vector<QByteArray> environmentStrings = officeEnvironment();
    std::vector<char *> argv = pointersTo(argumentStrings);
    std::vector<char *> envp = pointersTo(environmentStrings);

    pid_t pid = 0;
    const int error = spawnInSession(argv, envp.data(), -1, QFile::encodeName(logFile), pid);
    if (error != 0)
        throw components::ComponentError(cannotStart(program, QString::fromLocal8Bit(std::strerror(error))));

    // The watcher owns its state with us, so it may outlive this object when
    // the office is left running for the user.
    auto watch = std::make_shared<Watch>();
    watch->keeper = startKeeper(pid);
    reapInBackground(pid, [watch](int status) {
        std::lock_guard lock(watch->mutex);
        watch->hasEnded = true;
        watch->status = status;
        // Its process group may soon be another's.
        releaseKeeper(watch->keeper);
        watch->ended.notify_all();
    });
    return std::unique_ptr<OfficeProcess>(new OfficeProcess(pid, std::move(watch)));
}

void OfficeProcess::outliveUs()
{
    std::lock_guard lock(m_watch->mutex);
    releaseKeeper(m_watch->keeper);
}

bool OfficeProcess::hasEnded() const
{
    std::lock_guard lock(m_watch->mutex);
    return m_watch->hasEnded;
}

QString OfficeProcess::endDescription() const
{
    std::lock_guard lock(m_watch->mutex);
    if (!m_watch->hasEnded)
        return {};
    const int status = m_watch->status;
    if (WIFSIGNALED(status))
        return QStringLiteral("it was ended by signal %1").arg(WTERMSIG(status));
    return QStringLiteral("it exited with status %1").arg(WEXITSTATUS(status));
}

bool OfficeProcess::endedBySignal() const
{
    std::lock_guard lock(m_watch->mutex);
    return m_watch->hasEnded && WIFSIGNALED(m_watch->status);
}

bool OfficeProcess::waitForEnd(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_watch->mutex);
    return m_watch->ended.wait_for(lock, timeout, [this] { return m_watch->hasEnded; });
}

qint64 OfficeProcess::processorTicks() const
{
    qint64 ticks = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.front().isDigit())
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // The command name may hold spaces and parentheses: fields are
        // counted from the last ')'. Then state, ppid, pgrp, session, ...,
        // utime and stime as the 12th and 13th.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12 && fields[3].toLongLong() == m_processId)
            ticks += fields[11].toLongLong() + fields[12].toLongLong();
    }
    return ticks;
}

void OfficeProcess::kill()
{
    ::kill(-pid_t(m_processId), SIGKILL);
}

} // namespace calc

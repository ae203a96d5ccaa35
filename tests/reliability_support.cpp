#include "reliability_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace reliability {

namespace {

std::mutex serversMutex;
std::vector<PrivateServer *> servers;

struct ProcessEntry {
    pid_t pid = 0;
    pid_t parent = 0;
    char state = '?';
    std::string name;
};

std::vector<ProcessEntry> processes()
{
    std::vector<ProcessEntry> result;
    DIR *proc = opendir("/proc");
    if (!proc)
        return result;
    while (dirent *entry = readdir(proc)) {
        const pid_t pid = pid_t(std::atoi(entry->d_name));
        if (pid <= 0)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // The name is in parentheses and may hold blanks and parentheses.
        const int open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (rest.size() < 2)
            continue;
        result.push_back({pid, pid_t(rest[1].toInt()), rest[0].isEmpty() ? '?' : rest[0][0],
                          line.mid(open + 1, close - open - 1).toStdString()});
    }
    closedir(proc);
    return result;
}

std::vector<pid_t> descendantsNamed(pid_t root, const std::vector<std::string> &names)
{
    const std::vector<ProcessEntry> all = processes();
    std::map<pid_t, pid_t> parentOf;
    for (const auto &p : all)
        parentOf[p.pid] = p.parent;
    std::vector<pid_t> found;
    for (const auto &p : all) {
        if (p.state == 'Z' || std::find(names.begin(), names.end(), p.name) == names.end())
            continue;
        for (pid_t up = p.parent; up > 1; up = parentOf.count(up) ? parentOf[up] : 0) {
            if (up == root) {
                found.push_back(p.pid);
                break;
            }
        }
    }
    return found;
}

int entriesIn(const char *folder)
{
    int n = 0;
    if (DIR *dir = opendir(folder)) {
        while (dirent *entry = readdir(dir))
            n += entry->d_name[0] != '.';
        closedir(dir);
    }
    return n;
}

bool alive(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) == 0;
}

template <class Condition>
bool waitFor(std::chrono::milliseconds limit, Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QThread::msleep(20);
    }
    return true;
}

QString firebirdRoot()
{
    for (const QString &candidate : QDir(QStringLiteral("/usr/lib")).entryList({QStringLiteral("*")}, QDir::Dirs)) {
        const QString root = QStringLiteral("/usr/lib/%1/firebird/3.0").arg(candidate);
        if (QFile::exists(root + QStringLiteral("/plugins")))
            return root;
    }
    return {};
}

const QString securityDatabase = QStringLiteral("/var/lib/firebird/3.0/system/security3.fdb");
const QString guardianProgram = QStringLiteral("/usr/sbin/fbguard");

int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

} // namespace

Watchdog::Watchdog(std::string what, std::chrono::seconds limit)
{
    m_thread = std::thread([this, what, limit] {
        std::unique_lock lock(m_mutex);
        if (m_done.wait_for(lock, limit, [this] { return m_finished; }))
            return;
        std::fprintf(stderr, "\nWATCHDOG: %s did not end within %lld s: the test program is ended.\n", what.c_str(),
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        killOurOffices();
        {
            std::lock_guard serversLock(serversMutex);
            for (PrivateServer *server : servers)
                server->kill();
        }
        std::_Exit(124);
    });
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

long peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

ProcessUsage usage()
{
    ProcessUsage u;
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    u.peakRssKb = self.ru_maxrss;
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = statm.readAll().split(' ');
        if (fields.size() > 1)
            u.rssKb = fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024);
    }
    u.descriptors = entriesIn("/proc/self/fd") - 1; // the listing's own
    u.threads = entriesIn("/proc/self/task");
    u.offices = int(ourOffices().size());
    return u;
}

std::vector<pid_t> ourOffices()
{
    return descendantsNamed(::getpid(), {"soffice.bin", "oosplash"});
}

void killOurOffices()
{
    for (pid_t pid : ourOffices()) {
        // Each office runs in a session and group of its own.
        const pid_t group = ::getpgid(pid);
        if (group > 1 && group != ::getpgrp())
            ::kill(-group, SIGKILL);
        ::kill(pid, SIGKILL);
    }
}

bool waitUntilNoOffices(std::chrono::milliseconds limit)
{
    return waitFor(limit, [] { return ourOffices().empty(); });
}

std::vector<pid_t> officesStartedBy(qint64 programId)
{
    const QByteArray pipe = "marrowbeck-" + QByteArray::number(programId) + '-';
    std::vector<pid_t> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (entry.front().isDigit() && commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(pipe))
            found.push_back(pid_t(entry.toInt()));
    }
    return found;
}

bool PrivateServer::available(QString *reason)
{
    if (::getuid() != 0 && !QFileInfo(securityDatabase).isReadable()) {
        *reason = QStringLiteral("A private Firebird server needs root or a readable %1.").arg(securityDatabase);
        return false;
    }
    if (!QFileInfo(guardianProgram).isExecutable() || firebirdRoot().isEmpty()) {
        *reason = QStringLiteral("The Firebird server (firebird3.0-server) is not installed.");
        return false;
    }
    return true;
}

PrivateServer::PrivateServer()
{
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/marrowbeck-reliability-fb-XXXXXX";
    if (::mkdtemp(pattern.data()))
        m_root = QString::fromLocal8Bit(pattern);
    m_asFirebird = ::getuid() == 0 && ::getpwnam("firebird") != nullptr;
    rememberServer(this);
}

PrivateServer::~PrivateServer()
{
    {
        std::lock_guard lock(serversMutex);
        servers.erase(std::remove(servers.begin(), servers.end(), this), servers.end());
    }
    stop();
    if (!m_root.isEmpty())
        QDir(m_root).removeRecursively();
}

void rememberServer(PrivateServer *server)
{
    std::lock_guard lock(serversMutex);
    servers.push_back(server);
}

QString PrivateServer::host() const
{
    return QStringLiteral("127.0.0.1/%1").arg(m_port);
}

bool PrivateServer::start(QString *error)
{
    if (m_root.isEmpty()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString root = firebirdRoot();
    QDir folder(m_root);
    if (m_port == 0)
        m_port = freePort();
    folder.mkpath(QStringLiteral("lock"));
    QFile conf(folder.filePath(QStringLiteral("firebird.conf")));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write firebird.conf");
        return false;
    }
    conf.write(QStringLiteral("RemoteServicePort = %1\nRemoteBindAddress = localhost\nSecurityDatabase = %2\n"
                              "UdfAccess = None\n")
                   .arg(m_port)
                   .arg(folder.filePath(QStringLiteral("security3.fdb")))
                   .toUtf8());
    conf.close();
    if (!QFile::exists(m_root + QStringLiteral("/security3.fdb"))) {
        for (const QString &name : QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            if (name != QLatin1String("firebird.conf") && name != QLatin1String("databases.conf"))
                QFile::link(root + u'/' + name, m_root + u'/' + name);
        }
        folder.mkpath(QStringLiteral("db"));
        folder.mkpath(QStringLiteral("lock"));
        QFile::setPermissions(folder.filePath(QStringLiteral("db")), QFileDevice::Permissions(0x7777));
        QFile(folder.filePath(QStringLiteral("databases.conf"))).open(QIODevice::WriteOnly);
        if (!QFile::copy(securityDatabase, folder.filePath(QStringLiteral("security3.fdb")))) {
            *error = QStringLiteral("cannot copy %1").arg(securityDatabase);
            return false;
        }
        QProcess isql;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FIREBIRD"), m_root);
        environment.insert(QStringLiteral("FIREBIRD_LOCK"), folder.filePath(QStringLiteral("lock")));
        isql.setProcessEnvironment(environment);
        isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                                folder.filePath(QStringLiteral("security3.fdb"))});
        isql.write("CREATE OR ALTER USER SYSDBA PASSWORD '" + password().toUtf8() + "' USING PLUGIN Srp;\nCOMMIT;\n");
        isql.closeWriteChannel();
        if (!isql.waitForFinished(30000) || isql.exitCode() != 0) {
            *error = QStringLiteral("cannot set the SYSDBA password: ") + QString::fromLocal8Bit(isql.readAllStandardError());
            return false;
        }
        if (m_asFirebird) {
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("firebird:firebird"), m_root});
            QFile::setPermissions(m_root, QFileDevice::Permissions(0x7755));
        }
    }

    std::vector<QByteArray> arguments;
    if (m_asFirebird)
        arguments = {"/usr/bin/setpriv", "--reuid=firebird", "--regid=firebird", "--init-groups"};
    for (const QByteArray &a : {guardianProgram.toLocal8Bit(), QByteArray("-forever"), QByteArray("-pidfile"),
                                folder.filePath(QStringLiteral("fbguard.pid")).toLocal8Bit()})
        arguments.push_back(a);
    std::vector<QByteArray> environment;
    for (char **e = environ; *e; ++e) {
        if (std::strncmp(*e, "FIREBIRD", 8) != 0)
            environment.emplace_back(*e);
    }
    environment.push_back("FIREBIRD=" + m_root.toLocal8Bit());
    environment.push_back("FIREBIRD_LOCK=" + folder.filePath(QStringLiteral("lock")).toLocal8Bit());
    std::vector<char *> argv, envp;
    for (auto &a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto &e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const QByteArray log = folder.filePath(QStringLiteral("fbguard.log")).toLocal8Bit();
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, log.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    posix_spawn_file_actions_addclosefrom_np(&files, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // fbguard signals its parent (SIGUSR1) once it runs; its own session
    // keeps it and that signal away from our process group's terminal.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    const int failed = posix_spawn(&m_guardian, argv[0], &files, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    if (failed) {
        *error = QStringLiteral("cannot start fbguard: %1").arg(QString::fromLocal8Bit(std::strerror(failed)));
        m_guardian = 0;
        return false;
    }
    const bool up = waitFor(std::chrono::seconds(20), [&] {
        if (::waitpid(m_guardian, nullptr, WNOHANG) == m_guardian) {
            m_guardian = 0;
            return true;
        }
        QProcess probe;
        probe.start(QStringLiteral("fbsvcmgr"), {host() + QStringLiteral(":service_mgr"), QStringLiteral("-user"), user(),
                                                 QStringLiteral("-password"), password(), QStringLiteral("-info_server_version")});
        return probe.waitForFinished(5000) && probe.exitCode() == 0;
    });
    if (!up || m_guardian == 0) {
        QFile text(QString::fromLocal8Bit(log));
        text.open(QIODevice::ReadOnly);
        *error = QStringLiteral("the private server did not accept a login: ") + QString::fromLocal8Bit(text.readAll());
        kill();
        return false;
    }
    return true;
}

void PrivateServer::kill()
{
    if (m_guardian <= 0)
        return;
    const std::vector<pid_t> engines = descendantsNamed(m_guardian, {"firebird"});
    ::kill(m_guardian, SIGKILL);
    while (::waitpid(m_guardian, nullptr, 0) < 0 && errno == EINTR) {
    }
    for (pid_t engine : engines)
        ::kill(engine, SIGKILL);
    waitFor(std::chrono::seconds(10), [&] {
        return std::none_of(engines.begin(), engines.end(), [](pid_t p) { return alive(p); });
    });
    m_guardian = 0;
}

void PrivateServer::stop()
{
    if (m_guardian <= 0)
        return;
    ::kill(m_guardian, SIGTERM);
    const bool ended = waitFor(std::chrono::seconds(10), [&] { return ::waitpid(m_guardian, nullptr, WNOHANG) == m_guardian; });
    if (ended)
        m_guardian = 0;
    else
        kill();
}

} // namespace reliability

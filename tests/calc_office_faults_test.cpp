// An office that cannot start or dies on us becomes a failure with a clear
// description: never a hang, never a crash of our program.

#include "calc_test_office.h"
#include "office_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

class OfficeProgramOverride {
public:
    explicit OfficeProgramOverride(const QString &program) { qputenv("MARROWBECK_SOFFICE", program.toLocal8Bit()); }
    ~OfficeProgramOverride() { qunsetenv("MARROWBECK_SOFFICE"); }
};

QString startFailure()
{
    try {
        calc_test::startApplication();
    } catch (const components::ComponentError &e) {
        return e.description();
    }
    return {};
}

TEST(CalcOfficeFaults, AMissingOfficeFailsAtOnceSayingSo)
{
    OfficeProgramOverride missing("/nonexistent/libreoffice/soffice");
    QElapsedTimer timer;
    timer.start();
    const QString description = startFailure();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(description.contains("could not be started")) << description.toStdString();
    EXPECT_TRUE(description.contains("not found")) << description.toStdString();
}

TEST(CalcOfficeFaults, AnOfficeThatEndsWhileStartingFailsWithoutWaitingForTheDeadline)
{
    QTemporaryDir folder;
    const QString program = folder.filePath("soffice");
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho 'cannot open display' >&2\nexit 3\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    OfficeProgramOverride ending(program);

    QElapsedTimer timer;
    timer.start();
    const QString description = startFailure();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(description.contains("status 3")) << description.toStdString();
    EXPECT_TRUE(description.contains("office.log")) << "where to look";
}

TEST(CalcOfficeFaults, AnOfficeThatEndsOnceWhileStartingIsStartedAgain)
{
    QTemporaryDir folder;
    const QString program = folder.filePath("soffice");
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nif [ ! -e '%1' ]; then touch '%1'; exit 0; fi\nexec '%2' \"$@\"\n")
                     .arg(folder.filePath("ended-once"), QStringLiteral(LIBREOFFICE_SOFFICE))
                     .toLocal8Bit());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    OfficeProgramOverride endingOnce(program);

    EXPECT_EQ(startFailure(), QString());
    EXPECT_TRUE(QFile::exists(folder.filePath("ended-once")));
}

TEST(CalcOfficeFaults, AnOfficeKilledWhileCellsAreWrittenFailsTheNextCallsAndNothingHangs)
{
    qunsetenv("DISPLAY");
    auto application = calc_test::startApplication();
    calc_test::OfficeGuard guard(*application);
    auto workbook = application->workbooks().Add();
    auto sheet = workbook->ActiveSheet();

    QString description;
    int row = 1;
    try {
        for (; row <= 200000; ++row) {
            if (row == 20000)
                ::kill(-pid_t(guard.processGroup()), SIGKILL);
            for (int c = 1; c <= 5; ++c)
                sheet->setCells(row, c, QStringLiteral("row %1").arg(row));
        }
    } catch (const components::ComponentError &e) {
        description = e.description();
    }
    EXPECT_LT(row, 200000) << "the write that reached the dead office failed";
    EXPECT_TRUE(description.contains("stopped unexpectedly")) << description.toStdString();

    EXPECT_THROW(workbook->worksheets().count(), components::ComponentError);
    EXPECT_THROW(sheet->columns().AutoFit(), components::ComponentError);
    EXPECT_THROW(workbook->worksheets().Add(), components::ComponentError);
    EXPECT_THROW(application->workbooks().Add(), components::ComponentError);
    QElapsedTimer timer;
    timer.start();
    sheet.reset();
    workbook.reset();
    application.reset();
    EXPECT_LT(timer.elapsed(), 3000) << "releasing objects of a dead office";
}

// The office keeps its settings in the cache folder; where that cannot be
// written, or its disk is full, it starts on a private temporary folder.
TEST(CalcOfficeFaults, AnUnwritableOrFullCacheFolderDoesNotKeepTheOfficeFromStarting)
{
    qunsetenv("DISPLAY");
    const QByteArray cacheBefore = qgetenv("XDG_CACHE_HOME");
    QTemporaryDir folder;
    QFile(folder.filePath("a-file")).open(QIODevice::WriteOnly);
    const QString full = folder.filePath("full");
    QDir().mkpath(full);
    const bool mounted = ::getuid() == 0
        && ::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=1m") == 0;
    for (const QString &cache : {folder.filePath("a-file/cache"), full}) {
        if (cache == full && !mounted)
            continue; // needs root to mount a small filesystem
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        auto application = calc_test::startApplication();
        calc_test::OfficeGuard guard(*application);
        auto sheet = application->workbooks().Add()->ActiveSheet();
        sheet->setCells(1, 1, QStringLiteral("written"));
        sheet->columns().AutoFit();
        EXPECT_EQ(calc_inspection::cellValues(*application, sheet->Name(), 1, 1, 1, 1),
                  (QList<QVariantList>{{QStringLiteral("written")}})) << qPrintable(cache);
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(guard.processGroup()));
        commandLine.open(QIODevice::ReadOnly);
        EXPECT_TRUE(commandLine.readAll().contains(QFile::encodeName(QDir::tempPath()) + "/marrowbeck-office-profiles-"))
            << qPrintable(cache);
    }
    if (mounted)
        ::umount2(QFile::encodeName(full).constData(), MNT_DETACH);
    qputenv("XDG_CACHE_HOME", cacheBefore);
}

// A slow start is waited for while the office works: the processor time of
// its session (the launcher and whatever it starts) tells it from a hang.
TEST(CalcOfficeFaults, AnOfficesProcessorTimeCountsItsWholeSessionAndOnlyWhileItWorks)
{
    const auto busy = calc::OfficeProcess::start(QStringLiteral("/bin/sh"),
                                                 {QStringLiteral("-c"), QStringLiteral("(while :; do :; done) & wait")},
                                                 QStringLiteral("/dev/null"));
    const auto idle = calc::OfficeProcess::start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")},
                                                 QStringLiteral("/dev/null"));
    QThread::msleep(1500);
    const qint64 busyTicks = busy->processorTicks();
    const qint64 idleTicks = idle->processorTicks();
    busy->kill();
    idle->kill();
    EXPECT_GE(busyTicks, ::sysconf(_SC_CLK_TCK) / 10);
    EXPECT_LE(idleTicks, 1);
    EXPECT_TRUE(busy->waitForEnd(std::chrono::seconds(5)));
}

// An office that runs on one of our profiles without our knowing it (its
// start was never recorded: the disk was full) is seen from its command
// line. LibreOffice would hand a second start on that profile to it: the
// program would work in an office that is not its own.
TEST(CalcOfficeFaults, AProfileAnOfficeRunsOnIsNotClaimedAgain)
{
    qunsetenv("DISPLAY");
    const QString profile = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/marrowbeck/office-profiles/1");
    const QString pipe = QStringLiteral("marrowbeck-test-%1").arg(::getpid());
    QProcess other;
    other.setChildProcessModifier([] { ::setsid(); });
    other.start(QStringLiteral(LIBREOFFICE_SOFFICE),
                {QStringLiteral("--headless"), QStringLiteral("--invisible"), QStringLiteral("--norestore"),
                 QStringLiteral("--nolockcheck"), QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipe),
                 QStringLiteral("-env:UserInstallation=%1").arg(QString::fromLatin1(QUrl::fromLocalFile(profile).toEncoded()))});
    ASSERT_TRUE(other.waitForStarted());
    const qint64 otherGroup = other.processId();
    const std::unique_ptr<const qint64, void (*)(const qint64 *)> endOther(
        &otherGroup, [](const qint64 *group) { ::kill(-pid_t(*group), SIGKILL); });
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(pipe)) && clock.elapsed() < 60000)
        QThread::msleep(50);

    {
        auto application = calc_test::startApplication();
        calc_test::OfficeGuard guard(*application);
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(guard.processGroup()));
        ASSERT_TRUE(commandLine.open(QIODevice::ReadOnly)) << "our office handed its start to the other";
        const QByteArray arguments = commandLine.readAll();
        EXPECT_TRUE(arguments.contains("-env:UserInstallation=file://")) << arguments.constData();
        EXPECT_FALSE(arguments.contains(QUrl::fromLocalFile(profile).toEncoded() + '\0'));
    }
    EXPECT_TRUE(calc_test::officeRuns(otherGroup)) << "the other office was left alone";
}

// The program ends at once (a closed window, a termination signal) while its
// office holds a workbook nobody has seen: the office ends with it.
TEST(CalcOfficeFaults, AnOfficeWithAnUnshownWorkbookEndsWithTheProgram)
{
    // The program runs in a child process of the test, which tells the
    // test its office through a file named after the test's process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto record = [](pid_t test) { return QDir::temp().filePath(QStringLiteral("marrowbeck-office-of-%1").arg(test)); };
    EXPECT_EXIT(
        {
            qunsetenv("DISPLAY");
            auto application = calc_test::startApplication();
            application->workbooks().Add()->ActiveSheet()->setCells(1, 1, QStringLiteral("never shown"));
            QFile file(record(::getppid()));
            file.open(QIODevice::WriteOnly);
            file.write(QByteArray::number(calc_inspection::officeProcessId(*application)));
            file.close();
            std::quick_exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    QFile file(record(::getpid()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const qint64 office = file.readAll().toLongLong();
    file.remove();
    ASSERT_GT(office, 0);
    const bool ended = calc_test::waitUntilOfficeEnds(office, 5000);
    if (!ended)
        ::kill(-pid_t(office), SIGKILL);
    EXPECT_TRUE(ended) << "the office outlived the program";
}

} // namespace

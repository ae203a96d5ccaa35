#include "office_session.h"

#include "component_error.h"
#include "office_profile.h"
#include "unshown_offices.h"
#include "uno_runtime.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <atomic>
#include <chrono>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cstdlib>
#include <unistd.h>
#include <utility>

using namespace std::chrono_literals;

namespace calc {

namespace {

// A start that makes no progress for a minute has failed; one that keeps
// working (a loaded machine, a fresh profile's first start) is given up to
// three. An office waiting on a window of its own uses next to no processor
// time; one that starts uses far more than a twentieth of a processor.
constexpr auto stallDeadline = 60s;
constexpr auto startDeadline = 180s;
constexpr auto progressLook = 1s;
constexpr auto closeDeadline = 10s;

QString officeProgram()
{
    // Lets tests and unusual installations point at another office.
    const QString chosen = qEnvironmentVariable("MARROWBECK_SOFFICE");
    return chosen.isEmpty() ? QStringLiteral(LIBREOFFICE_PROGRAM_DIR "/soffice") : chosen;
}

QString newPipeName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("marrowbeck-%1-%2-%3")
        .arg(::getpid())
        .arg(++counter)
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

class EndedWhileStarting : public components::ComponentError {
public:
    using components::ComponentError::ComponentError;
};

} // namespace

OfficeSession::OfficeSession(std::unique_ptr<OfficeProcess> process, bool hasDisplay)
    : m_process(std::move(process)), m_hasDisplay(hasDisplay)
{
}

// An office that exits on its own while starting is started once more: on a
// loaded machine one can end at once for a passing reason (its display not
// taking the connection in time, a profile another office took a moment
// before), which the next start does not meet. One that exits twice, that
// someone stopped with a signal, or that does not answer is a real failure.
std::shared_ptr<OfficeSession> OfficeSession::start()
{
    try {
        return startOnce();
    } catch (const EndedWhileStarting &) {
    }
    return startOnce();
}

bool OfficeSession::installed()
{
    const QFileInfo program(officeProgram());
    return program.isFile() && program.isExecutable();
}

std::shared_ptr<OfficeSession> OfficeSession::startOnce()
{
    localUnoContext();
    const bool display = hasDisplay();
    OfficeProfile profile = OfficeProfile::claim();
    const QString pipeName = newPipeName();
    QStringList arguments{
        QStringLiteral("--invisible"), QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
        QStringLiteral("--norestore"), QStringLiteral("--nolockcheck"),
        QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName),
        QStringLiteral("-env:UserInstallation=%1").arg(profile.url())};
    // Without a display a windowed office would not start at all; such an
    // office can still write workbooks, but cannot show them.
    if (!display)
        arguments.prepend(QStringLiteral("--headless"));
    const QString log = profile.folder() + QStringLiteral("/office.log");
    std::unique_ptr<OfficeProcess> process;
    startListedOffice([&] {
        process = OfficeProcess::start(officeProgram(), arguments, log);
        return process->processId();
    });
    profile.officeStarted();

    std::shared_ptr<OfficeSession> session(new OfficeSession(std::move(process), display));
    session->connect(pipeName, log);
    return session;
}

void OfficeSession::connect(const QString &pipeName, const QString &log)
{
    const auto resolver = css::bridge::UnoUrlResolver::create(localUnoContext());
    const rtl::OUString url = toOUString(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName));
    const auto started = std::chrono::steady_clock::now();
    auto lastProgress = started;
    auto lastLook = started;
    qint64 ticks = m_process->processorTicks();
    static const qint64 ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    css::uno::Reference<css::uno::XInterface> remote;
    for (;;) {
        try {
            remote = resolver->resolve(url);
            break;
        } catch (const css::uno::Exception &) {
            // Not listening yet.
        }
        if (m_process->hasEnded()) {
            const QString description =
                QStringLiteral("LibreOffice Calc could not be started: %1 while starting up. "
                               "Please make sure LibreOffice Calc is installed and opens normally; "
                               "its messages are in %2.")
                    .arg(m_process->endDescription(), QDir::toNativeSeparators(log));
            if (m_process->endedBySignal())
                throw components::ComponentError(description);
            throw EndedWhileStarting(description);
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - lastLook >= progressLook) {
            lastLook = now;
            const qint64 ticksNow = m_process->processorTicks();
            if (std::abs(ticksNow - ticks) >= ticksPerSecond / 20)
                lastProgress = now;
            ticks = ticksNow;
        }
        if (now - lastProgress > stallDeadline || now - started > startDeadline)
            throw components::ComponentError(
                QStringLiteral("LibreOffice Calc was started but did not answer within %1 seconds.")
                    .arg(std::chrono::duration_cast<std::chrono::seconds>(now - started).count()));
        // Wakes early when the office ends, so a failed start is reported at once.
        m_process->waitForEnd(50ms);
    }
    try {
        const css::uno::Reference<css::uno::XComponentContext> context(remote, css::uno::UNO_QUERY_THROW);
        m_desktop = css::frame::Desktop::create(context);
    } catch (const css::uno::Exception &) {
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc was started but its desktop could not be reached."));
    }
}

css::uno::Reference<css::sheet::XSpreadsheetDocument> OfficeSession::newHiddenWorkbook()
{
    if (m_workbookAhead.is())
        return std::exchange(m_workbookAhead, {});
    css::beans::PropertyValue hidden;
    hidden.Name = "Hidden";
    hidden.Value <<= true;
    const auto component = m_desktop->loadComponentFromURL(
        "private:factory/scalc", "_blank", 0, css::uno::Sequence<css::beans::PropertyValue>(&hidden, 1));
    return css::uno::Reference<css::sheet::XSpreadsheetDocument>(component, css::uno::UNO_QUERY_THROW);
}

void OfficeSession::makeWorkbookAhead()
{
    try {
        m_workbookAhead = newHiddenWorkbook();
    } catch (const css::uno::Exception &) {
    }
}

OfficeSession::~OfficeSession()
{
    if (!m_handedOver) {
        close();
        forgetUnshownOffice(m_process->processId());
    }
}

void OfficeSession::handOverToUser()
{
    m_handedOver = true;
    m_process->outliveUs();
    forgetUnshownOffice(m_process->processId());
}

void OfficeSession::close()
{
    if (m_process->hasEnded())
        return;
    if (!m_desktop.is()) {
        // It never answered: there is nothing to ask it.
        m_process->kill();
        m_process->waitForEnd(closeDeadline);
        return;
    }
    try {
        // Nothing in this office was ever shown, so nothing in it is the
        // user's: unmodified documents let it end without asking anything.
        const auto documents = m_desktop->getComponents()->createEnumeration();
        while (documents->hasMoreElements()) {
            css::uno::Reference<css::util::XModifiable> document(documents->nextElement(), css::uno::UNO_QUERY);
            if (document.is())
                document->setModified(false);
        }
        m_desktop->terminate();
    } catch (...) {
        // It may vanish under the call; waiting below settles it either way.
    }
    m_desktop.clear();
    if (!m_process->waitForEnd(closeDeadline)) {
        m_process->kill();
        m_process->waitForEnd(closeDeadline);
    }
}

QString OfficeSession::stoppedDescription(const QString &action) const
{
    // The bridge reports a lost office within milliseconds, slightly before
    // the process is seen to end.
    m_process->waitForEnd(2s);
    const QString how = m_process->hasEnded() ? m_process->endDescription()
                                              : QStringLiteral("the connection to it was lost");
    return QStringLiteral("LibreOffice Calc could not %1: it has stopped unexpectedly (%2). "
                          "The workbook it held is lost.").arg(action, how);
}

} // namespace calc

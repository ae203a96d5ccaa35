#include "platform.h"

#include "main_module.h"
#include "qt_platform.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace frame {
namespace {

std::shared_ptr<MessageBoxService> &messageBoxSlot()
{
    static std::shared_ptr<MessageBoxService> service = std::make_shared<QtMessageBoxService>();
    return service;
}

std::shared_ptr<Terminator> &terminatorSlot()
{
    static std::shared_ptr<Terminator> service = std::make_shared<QuickExitTerminator>();
    return service;
}

QString &programFolderSlot()
{
    static QString folder;
    return folder;
}

// Measured: running the event loop on every cell costs 200 to 400 us, which
// turns a million-cell export into minutes; once per 10 ms costs almost
// nothing and keeps the window responsive.
constexpr qint64 defaultDoEventsIntervalNs = 10'000'000;
qint64 doEventsIntervalNs = defaultDoEventsIntervalNs;
// Reading the clock costs about what the rest of a cell's way to a file
// does: it is read on every 32nd call only, microseconds apart.
constexpr unsigned callsPerClockReading = 32;
unsigned callsSinceClockReading = 0;

QElapsedTimer &doEventsClock()
{
    static QElapsedTimer clock;
    return clock;
}

} // namespace

MessageBoxService &messageBoxes() { return *messageBoxSlot(); }
void setMessageBoxService(std::shared_ptr<MessageBoxService> service) { messageBoxSlot() = std::move(service); }

Terminator &terminator() { return *terminatorSlot(); }
void setTerminator(std::shared_ptr<Terminator> service) { terminatorSlot() = std::move(service); }

int MsgBox(const QString &prompt, int style, const QString &title)
{
    return messageBoxes().show(prompt, style, title.isEmpty() ? Main::appTitle() : title);
}

void End() { terminator().endProgram(); }

void DoEvents()
{
    QElapsedTimer &clock = doEventsClock();
    if (doEventsIntervalNs > 0 && clock.isValid()) {
        if (++callsSinceClockReading < callsPerClockReading)
            return;
        callsSinceClockReading = 0;
        if (clock.nsecsElapsed() < doEventsIntervalNs)
            return;
    }
    clock.start();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void resetDoEventsThrottle() { doEventsClock().invalidate(); }

void setDoEventsIntervalForTesting(qint64 nanoseconds)
{
    doEventsIntervalNs = nanoseconds < 0 ? defaultDoEventsIntervalNs : nanoseconds;
    resetDoEventsThrottle();
}

QString programFolder()
{
    if (programFolderSlot().isEmpty())
        return QCoreApplication::applicationDirPath();
    return programFolderSlot();
}

void setProgramFolder(const QString &folder) { programFolderSlot() = folder; }

} // namespace frame

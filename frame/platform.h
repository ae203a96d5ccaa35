#pragma once

// Services the program takes from the desktop it runs on: message boxes,
// ending the program at once, yielding to the event loop, the program folder.
// Production installs the Qt implementations; tests replace them.

#include <QString>
#include <functional>
#include <memory>

namespace frame {

// Message box styles and answers with the platform's own values.
enum MsgBoxStyle { vbOKOnly = 0, vbYesNo = 4, vbExclamation = 48 };
enum MsgBoxResult { vbOK = 1, vbYes = 6, vbNo = 7 };

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // title is never empty here: the caller has put the application title in.
    virtual int show(const QString &prompt, int style, const QString &title) = 0;
};

class Terminator {
public:
    virtual ~Terminator() = default;
    // Ends the program at once: no further handler runs, nothing is closed.
    virtual void endProgram() = 0;
};

MessageBoxService &messageBoxes();
void setMessageBoxService(std::shared_ptr<MessageBoxService> service);

Terminator &terminator();
void setTerminator(std::shared_ptr<Terminator> terminator);

// Shows a message box; an empty title means the application title.
int MsgBox(const QString &prompt, int style = vbOKOnly, const QString &title = QString());

// Ends the program through the installed terminator.
void End();

// Lets pending window events run. Cheap enough to call once per cell: the
// event loop itself runs at most every few milliseconds.
void DoEvents();
// Forces the next DoEvents to run the event loop.
void resetDoEventsThrottle();
// Tests make every DoEvents run the loop (0); a negative value restores the
// production interval.
void setDoEventsIntervalForTesting(qint64 nanoseconds);

// The folder of the program's executable, without a trailing separator.
QString programFolder();
// Tests point the program folder elsewhere.
void setProgramFolder(const QString &folder);

} // namespace frame

#pragma once

#include "office_process.h"

#include <QString>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <memory>

namespace calc {

// One office of our own and the UNO connection to it, shared by every object
// the application hands out; it ends when the last of them is released.
//
// On that release the office is closed unless a workbook window has been
// shown: an office nobody can see (the start-up check's, or an export that
// failed before showing its workbook) would otherwise run on unseen for ever.
// Once a workbook has been shown, the office and its unsaved workbook belong
// to the user and are never touched again.
class OfficeSession {
public:
    // Throws components::ComponentError when the office cannot be started
    // or does not answer in time; nothing is left running then.
    static std::shared_ptr<OfficeSession> start();
    // Whether there is an office program to start.
    static bool installed();
    ~OfficeSession();

    OfficeSession(const OfficeSession &) = delete;
    OfficeSession &operator=(const OfficeSession &) = delete;

    const css::uno::Reference<css::frame::XDesktop2> &desktop() const { return m_desktop; }
    // A new, hidden, unsaved spreadsheet document: the one made ahead when
    // there is one, else one made now. Throws css::uno::Exception.
    css::uno::Reference<css::sheet::XSpreadsheetDocument> newHiddenWorkbook();
    // For an office started ahead of need: its first workbook costs the
    // export nothing then. A failure here is left for newHiddenWorkbook to
    // meet and report. Call before the session is shared.
    void makeWorkbookAhead();
    bool canShowWindows() const { return m_hasDisplay; }
    void handOverToUser();
    bool isRunning() const { return !m_process->hasEnded(); }
    qint64 processId() const { return m_process->processId(); }
    // For a failure that the office's end caused.
    QString stoppedDescription(const QString &action) const;

private:
    OfficeSession(std::unique_ptr<OfficeProcess> process, bool hasDisplay);
    static std::shared_ptr<OfficeSession> startOnce();
    void connect(const QString &pipeName, const QString &log);
    void close();

    std::unique_ptr<OfficeProcess> m_process;
    bool m_hasDisplay;
    bool m_handedOver = false;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
    css::uno::Reference<css::sheet::XSpreadsheetDocument> m_workbookAhead;
};

} // namespace calc

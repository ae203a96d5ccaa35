#pragma once

#include <QString>
#include <functional>

// What the export needs from the window it runs for: the list's entries and
// their ticks, the progress bar, the pointer, the busy flag, and a chance for
// the user's events to run. The table selection window is one; a test or a
// run without windows can be another.
class ExportWindow {
public:
    virtual ~ExportWindow() = default;

    // Entries are numbered from 1. The list may be filled again while the
    // user's events run, so the count is read anew each time.
    virtual int entryCount() const = 0;
    virtual bool entryTicked(int entry) const = 0;
    virtual QString entryText(int entry) const = 0;
    // What the database the entries were listed from told of itself, to be
    // told from another put in its place since; empty: nothing to compare.
    virtual QString listedDatabase() const { return {}; }

    virtual void setProgressPercent(double percent) = 0;
    virtual void setProgressText(const QString &text) = 0;
    // For texts that change far more often than anyone could read them:
    // made only when they are shown.
    virtual void setProgressTextMaker(std::function<QString()> makeText) = 0;
    // The record about to be written, of all the table's records, for a
    // display that shows more than the text (a rate); the bar has no use
    // for it.
    virtual void rowReached(int /*row*/, int /*rows*/) {}

    // One of the frame's pointer values (hourglass, default).
    virtual void setPointer(int value) = 0;

    // Set from the start of an export to its end; an export started while
    // it is set does nothing.
    virtual bool busy() const = 0;
    virtual void setBusy(bool busy) = 0;

    // The end of the export brings a minimized window back.
    virtual void restoreIfMinimized() = 0;

    // Lets the user's events run: clicks, repaints, closing the window.
    virtual void yieldToEvents() = 0;
};

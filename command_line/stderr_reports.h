#pragma once

#include "platform.h"

#include <functional>

namespace command_line {

// The failure reports as one line each on standard error, for scripts and
// their logs; "Done." says nothing a zero exit status does not.
class StandardErrorReports : public frame::MessageBoxService {
public:
    // beforeLine clears what the terminator shows; onFailure counts.
    StandardErrorReports(std::function<void()> beforeLine, std::function<void()> onFailure)
        : m_beforeLine(std::move(beforeLine)), m_onFailure(std::move(onFailure))
    {
    }

    int show(const QString &prompt, int style, const QString &title) override;

private:
    std::function<void()> m_beforeLine;
    std::function<void()> m_onFailure;
};

// The description a failure report's prompt carries, on one line.
QString failureLine(const QString &prompt);

// Writes "marrowbeck: " and the text as one line to standard error.
void printLine(const QString &text);

// A termination signal ends the program at once, as in the wizard, and says
// so; the exit status tells that nothing was exported.
class StoppedTerminator : public frame::Terminator {
public:
    explicit StoppedTerminator(std::function<void()> beforeLine) : m_beforeLine(std::move(beforeLine)) {}
    void endProgram() override;

private:
    std::function<void()> m_beforeLine;
};

} // namespace command_line

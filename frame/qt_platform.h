#pragma once

#include "platform.h"

namespace frame {

// A real modal box; lone carriage returns in a prompt are shown as line
// breaks, as the desktop the prompts were written for shows them.
class QtMessageBoxService : public MessageBoxService {
public:
    int show(const QString &prompt, int style, const QString &title) override;
};

// Flushes settings and output, then leaves without running destructors or
// letting the current handler go on.
class QuickExitTerminator : public Terminator {
public:
    void endProgram() override;
};

void installQtPlatform();

} // namespace frame

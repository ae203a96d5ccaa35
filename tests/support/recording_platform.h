#pragma once

#include "desktop_services.h"
#include "platform.h"

#include <QString>
#include <deque>
#include <functional>
#include <vector>

namespace testing_support {

struct ShownMessage {
    QString prompt;
    int style = 0;
    QString title;
};

// Records every message box and answers it without blocking. While a box is
// "open", onShow runs: that is where a test acts in the middle of a handler.
class RecordingMessageBoxes : public frame::MessageBoxService {
public:
    int show(const QString &prompt, int style, const QString &title) override;

    std::vector<ShownMessage> shown;
    std::deque<int> answers;
    std::function<void(const ShownMessage &)> onShow;

    std::vector<QString> prompts() const;
};

class RecordingTerminator : public frame::Terminator {
public:
    void endProgram() override { ++calls; }
    int calls = 0;
};

class FakeDesktop : public frame::DesktopServices {
public:
    QString showOpen(const frame::FileDialogSettings &settings, QWidget *) override
    {
        dialogs.push_back(settings);
        return chosenFile;
    }
    void openUrl(const QString &url) override { openedUrls.push_back(url); }

    QString chosenFile;
    std::vector<frame::FileDialogSettings> dialogs;
    std::vector<QString> openedUrls;
};

} // namespace testing_support

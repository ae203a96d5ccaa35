#include "recording_platform.h"

namespace testing_support {

int RecordingMessageBoxes::show(const QString &prompt, int style, const QString &title)
{
    shown.push_back({prompt, style, title});
    if (onShow)
        onShow(shown.back());
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return (style & 7) == frame::vbYesNo ? frame::vbNo : frame::vbOK;
}

std::vector<QString> RecordingMessageBoxes::prompts() const
{
    std::vector<QString> result;
    for (const auto &message : shown)
        result.push_back(message.prompt);
    return result;
}

} // namespace testing_support

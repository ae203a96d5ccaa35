#include "failure_report.h"

#include "platform.h"

namespace frame {

QString failurePrompt(const QString &description, const QString &location, int step)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") + QString::number(step)
        + QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") + supportEmail;
}

void reportFailure(const QString &description, const QString &location, int step)
{
    MsgBox(failurePrompt(description, location, step), vbOKOnly | vbExclamation, failureReportTitle);
}

} // namespace frame

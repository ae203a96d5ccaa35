#pragma once

#include <QString>

namespace frame {

inline const QString supportEmail = QStringLiteral("support@tenvara.example.com");
inline const QString failureReportTitle = QStringLiteral("Application Error");

// The prompt of the failure report: description, CR LF, location text,
// "at line " and the step, two bare CRs, then the support line.
QString failurePrompt(const QString &description, const QString &location, int step);

// Shows the failure report and waits until it is dismissed.
void reportFailure(const QString &description, const QString &location, int step);

} // namespace frame

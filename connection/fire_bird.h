#pragma once

// Module FireBird: the connection the program opens with the connection
// window's current entries.

#include <QString>

namespace FireBird {

// Built afresh from the three boxes of the connection window.
QString currentConnectionString();

// True when a connection with the current entries opens; shows nothing.
// When it does not open, the component's description of why goes to
// `reason`, if given. A component that cannot be created is the caller's
// failure.
bool CanConnectToFireBird(QString *reason = nullptr);

// "Could not connect.", and below it why, when the component said.
QString couldNotConnectText(const QString &reason);

} // namespace FireBird

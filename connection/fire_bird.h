#pragma once

// Module FireBird: whether the program's connection opens.

#include "login.h"

#include <QString>

namespace FireBird {

// True when a connection with the login opens; shows nothing.
// When it does not open, the component's description of why goes to
// `reason`, if given. A component that cannot be created is the caller's
// failure.
bool CanConnectToFireBird(const dbaccess::Login &login, QString *reason = nullptr);

// "Could not connect.", and below it why, when the component said.
QString couldNotConnectText(const QString &reason);

} // namespace FireBird

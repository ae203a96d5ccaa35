#pragma once

// Module FireBird: the connection the program opens with the connection
// window's current entries.

#include <QString>

namespace FireBird {

// Built afresh from the three boxes of the connection window.
QString currentConnectionString();

// True when a connection with the current entries opens; shows nothing.
// A component that cannot be created is the caller's failure.
bool CanConnectToFireBird();

} // namespace FireBird

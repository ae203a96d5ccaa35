#pragma once

#include <QString>
#include <cstdint>
#include <firebird/Interface.h>

namespace dbaccess {

// The text the user reads when Firebird refuses, chosen by the status codes
// in the status vector (the message text is for people, not for programs).
// firebirdText is Firebird's own formatted message, used only for failures
// without a text of ours.
QString describeFirebirdError(const std::intptr_t *errors, const QString &database, const QString &firebirdText);

// A table the user name given has no right to read.
QString describeNoPermission(const QString &database);

// The user's text for a failed Firebird call.
QString describeFirebirdStatus(const Firebird::IStatus *status, const QString &database);

// Throws components::ComponentError for a failed Firebird call, or
// components::ConnectionLost when the attachment itself is gone.
[[noreturn]] void throwFirebirdError(const Firebird::IStatus *status, const QString &database);

} // namespace dbaccess

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

// The text for a database file the system would not open (errno), or, for
// 0, one that is there but cannot be read as a database.
QString describeFileProblem(int osError, const QString &database);
// A file a Firebird engine or server has open.
QString describeFileInUse(const QString &database);
QString describeNotADatabase(const QString &database);
// A table the user name given has no right to read.
QString describeNoPermission(const QString &database);

// The user's text for a failed Firebird call.
QString describeFirebirdStatus(const Firebird::IStatus *status, const QString &database);

// Throws components::ComponentError for a failed Firebird call, or
// components::ConnectionLost when the attachment itself is gone.
[[noreturn]] void throwFirebirdError(const Firebird::IStatus *status, const QString &database);

} // namespace dbaccess

#pragma once

#include <firebird/Interface.h>

namespace dbaccess {

// The client library's master interface. The first call gives the process a
// private lock folder for the embedded engine: the shared /tmp/firebird
// belongs to user firebird (mode 0770), so a normal desktop user could not
// open any file embedded. A FIREBIRD_LOCK set by the user is kept.
Firebird::IMaster *firebirdMaster();

} // namespace dbaccess

#pragma once

// InterBase (2009 and later) can encrypt single columns with keys only its
// server holds. Their bytes are ciphertext: a table with an encrypted column
// is refused as a whole rather than shown as text. The catalogue marks such
// a column (RDB$RELATION_FIELDS.RDB$ENCRYPTION_ID set) in Column::encrypted.

#include "file_contents.h"

#include <QString>

namespace ods {

// Empty when no column of `relation` is encrypted; otherwise the message
// that refuses the table, naming its encrypted columns.
QString encryptedColumnsRefusal(const Relation &relation);

} // namespace ods

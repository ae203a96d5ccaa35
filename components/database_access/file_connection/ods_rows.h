#pragma once

#include "ods_session.h"
#include "table_rows.h"

#include <memory>
#include <utility>

namespace dbaccess {

// The stored rows of one relation of `picture`, read from the file by the
// reader; refused with a clear message when the file changes meanwhile.
std::unique_ptr<TableRows> relationRows(std::shared_ptr<OdsSession> session, const FilePicture &picture,
                                        const ods::Relation &relation);

// The code page the text in no declared character set of the file's tables
// shows as a whole; empty when too little of it is beyond ASCII to tell.
QByteArray undeclaredTextCodePage(const ods::Database &database);

// The tables catalogue: TABLE_NAME and TABLE_TYPE of every relation, by type
// ("SYSTEM TABLE" < "TABLE" < "VIEW"), then by name, as the engine path's
// catalogue query orders them.
std::unique_ptr<TableRows> catalogueRows(std::shared_ptr<OdsSession> session);

} // namespace dbaccess

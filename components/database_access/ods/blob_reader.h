#pragma once

// BLOB contents: the header record a BLOB id points to, and the data it holds
// itself (level 0), lists on blob pages (level 1), or lists through pointer
// blob pages (level 2).

#include "relation_pages.h"

#include <QByteArray>
#include <QByteArrayView>

namespace ods {

// The whole BLOB, segments joined; empty for an all-zero id.
QByteArray readBlob(const RelationPages &pages, QByteArrayView blobId);

} // namespace ods

#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace csv {

// Appends one record in UTF-8: fields separated by commas, a field holding a
// comma, a double quote, CR or LF enclosed in double quotes with each double
// quote doubled, the record ended by CR LF.
void appendRecord(QByteArray &out, const std::vector<QString> &fields);

} // namespace csv

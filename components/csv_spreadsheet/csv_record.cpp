#include "csv_record.h"

namespace csv {
namespace {

bool needsQuotes(const QString &field)
{
    for (const QChar c : field) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

} // namespace

void appendRecord(QByteArray &out, const std::vector<QString> &fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        const QString &field = fields[i];
        if (needsQuotes(field)) {
            out += '"';
            out += QString(field).replace(u'"', QStringLiteral("\"\"")).toUtf8();
            out += '"';
        } else {
            out += field.toUtf8();
        }
    }
    out += "\r\n";
}

} // namespace csv

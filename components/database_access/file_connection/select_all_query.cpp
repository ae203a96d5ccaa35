#include "select_all_query.h"

namespace dbaccess {

std::optional<QString> selectAllTable(const QString &query)
{
    static const QString prefix = QStringLiteral("SELECT * FROM \"");
    const QString text = query.trimmed();
    if (!text.startsWith(prefix, Qt::CaseInsensitive) || text.size() < prefix.size() + 2 || !text.endsWith(u'"'))
        return std::nullopt;
    QString name;
    for (qsizetype i = prefix.size(); i < text.size() - 1; ++i) {
        if (text[i] == u'"') {
            if (text[i + 1] != u'"' || i + 1 == text.size() - 1)
                return std::nullopt;
            ++i;
        }
        name += text[i];
    }
    return name;
}

} // namespace dbaccess

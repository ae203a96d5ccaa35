#include "worksheet_rules.h"

namespace excel {

bool isForbiddenInSheetName(QChar c)
{
    return QStringView(u"\\/?*:[]").contains(c);
}

QString sheetNameRefusal(const QString &name, const QStringList &otherNames)
{
    if (name.isEmpty())
        return QStringLiteral("A worksheet name cannot be empty.");
    if (name.size() > sheetNameLengthLimit)
        return QStringLiteral("The worksheet name \"%1\" is longer than %2 characters.")
            .arg(name, QString::number(sheetNameLengthLimit));
    for (const QChar c : name) {
        if (isForbiddenInSheetName(c))
            return QStringLiteral("The worksheet name \"%1\" contains the character %2, "
                                  "which worksheet names cannot contain (\\ / ? * : [ ]).")
                .arg(name, QString(c));
    }
    if (name.startsWith(sheetNameEdgeForbidden) || name.endsWith(sheetNameEdgeForbidden))
        return QStringLiteral("The worksheet name \"%1\" begins or ends with an apostrophe, "
                              "which worksheet names cannot do.").arg(name);
    if (otherNames.contains(name, Qt::CaseInsensitive))
        return QStringLiteral("The worksheet name \"%1\" is already taken by another worksheet "
                              "of this workbook.").arg(name);
    return {};
}

} // namespace excel

#include "encryption.h"

#include <QStringList>

namespace ods {

QString encryptedColumnsRefusal(const Relation &relation)
{
    QStringList encrypted;
    for (const Column &column : relation.columns)
        if (column.encrypted)
            encrypted << QStringLiteral("\"%1\"").arg(column.name);
    if (encrypted.isEmpty())
        return {};
    return QStringLiteral("The table \"%1\" has encrypted columns (%2), which only InterBase can decrypt with their "
                          "keys. Decrypt them with InterBase (ALTER TABLE ... ALTER COLUMN ... DECRYPT), or leave "
                          "the table out.")
        .arg(relation.name, encrypted.join(QStringLiteral(", ")));
}

} // namespace ods

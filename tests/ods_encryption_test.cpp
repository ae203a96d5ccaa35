// A table with columns InterBase encrypted is refused by name, with the
// encrypted columns named, before any ciphertext could be shown.

#include "encryption.h"

#include <gtest/gtest.h>

namespace {

ods::Relation relationWith(std::initializer_list<std::pair<const char *, bool>> columns)
{
    ods::Relation relation;
    relation.name = QStringLiteral("PAYROLL");
    for (const auto &[name, encrypted] : columns) {
        ods::Column column;
        column.name = QLatin1String(name);
        column.encrypted = encrypted;
        relation.columns.push_back(column);
    }
    return relation;
}

TEST(OdsEncryptedColumns, TablesWithEncryptedColumnsAreRefusedNamingThem)
{
    EXPECT_EQ(ods::encryptedColumnsRefusal(relationWith({{"ID", false}, {"NAME", false}})), QString());
    const QString refusal =
        ods::encryptedColumnsRefusal(relationWith({{"ID", false}, {"SALARY", true}, {"NAME", false}, {"IBAN", true}}));
    EXPECT_TRUE(refusal.startsWith(QLatin1String("The table \"PAYROLL\" has encrypted columns (\"SALARY\", \"IBAN\")")))
        << refusal.toStdString();
}

} // namespace

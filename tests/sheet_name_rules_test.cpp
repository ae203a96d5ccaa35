// The sheet names refused before Calc sees them.

#include "worksheet_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(SheetNameRules, NamesTheSavedFormatsCannotStoreAreRefusedWithAReason)
{
    const QStringList others{"Customers", "Ünïcödé"};
    const QStringList refused{"", QString(32, 'a'), "a\\b", "a/b", "a?b", "a*b", "a:b", "a[b", "a]b",
                              "'a", "a'", "'", "customers", "CUSTOMERS", "üNÏCÖDÉ"};
    for (const QString &name : refused)
        EXPECT_FALSE(excel::sheetNameRefusal(name, others).isEmpty()) << name.toStdString();
}

TEST(SheetNameRules, OtherNamesAreAllowed)
{
    const QStringList others{"Customers"};
    const QStringList allowed{QString(31, 'a'), "a'b", "Orders 2021", "x.y-z_(1)", "表", "Customers2", " "};
    for (const QString &name : allowed)
        EXPECT_TRUE(excel::sheetNameRefusal(name, others).isEmpty()) << name.toStdString();
}

TEST(SheetNameRules, TheReasonNamesTheOffendingName)
{
    EXPECT_TRUE(excel::sheetNameRefusal("bad:name", {}).contains("bad:name"));
    EXPECT_TRUE(excel::sheetNameRefusal("orders", {"Orders"}).contains("already taken"));
    // Placeholders inside a name are the name's own characters.
    const QString longName = QStringLiteral("%1") + QString(31, 'x');
    EXPECT_EQ(excel::sheetNameRefusal(longName, {}),
              "The worksheet name \"" + longName + "\" is longer than 31 characters.");
}

} // namespace

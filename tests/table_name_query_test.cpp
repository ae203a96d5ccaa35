// A table's name into the statement the engine is sent, and back out of a
// query text a caller passes: the reader must find exactly the table the
// engine would.

#include "firebird_query.h"
#include "select_all_query.h"

#include <gtest/gtest.h>

namespace {

TEST(TableNameQuery, QuotesEveryNameAndReadsItBack)
{
    const struct {
        const char16_t *name;
        const char16_t *statement;
    } cases[] = {
        {u"CUSTOMERS", uR"(SELECT * FROM "CUSTOMERS")"},
        {u"A\"B", uR"(SELECT * FROM "A""B")"},
        {u"x\" ; DROP TABLE y; --", uR"(SELECT * FROM "x"" ; DROP TABLE y; --")"},
        {u"\"", uR"(SELECT * FROM """")"},
        {u"[LEGACY] orders ", uR"(SELECT * FROM "[LEGACY] orders ")"},
        {u"Müller € 表", uR"(SELECT * FROM "Müller € 表")"},
    };
    for (const auto &c : cases) {
        const QString name = QString::fromUtf16(c.name);
        const QString statement = dbaccess::selectAllStatement(name);
        EXPECT_EQ(statement, QString::fromUtf16(c.statement));
        EXPECT_EQ(dbaccess::selectAllTable(statement), name) << statement.toStdString();
    }
}

TEST(TableNameQuery, OtherQueriesNameNoTable)
{
    for (const char *query : {"SELECT * FROM T", "SELECT ID FROM \"T\"", "SELECT * FROM \"A\"B\"",
                              "SELECT * FROM \"T\" WHERE 1=1", "SELECT * FROM \"\"", "SELECT * FROM \"T\"\""})
        EXPECT_FALSE(dbaccess::selectAllTable(QString::fromLatin1(query))) << query;
}

} // namespace

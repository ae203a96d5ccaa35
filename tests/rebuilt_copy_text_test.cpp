// What the rebuilt copy writes and says, pure, no database: where a view's
// text lists its columns (the copy replaces exactly that part, so a FROM, a
// "*" or a parenthesis inside strings, names, comments or subqueries must
// not mislead it), and the reasons a user reads when something cannot be
// made.

#include "engine_refusal.h"
#include "view_select_list.h"

#include <gtest/gtest.h>

namespace {

TEST(ViewSelectList, FindsTheOutermostListAndWhetherItUsesStar)
{
    struct Case {
        const char *source;
        const char *list; // nullptr: not rewritable
        bool star;
    };
    const Case cases[] = {
        {"SELECT * FROM T", "*", true},
        {"select p.*, c.* from P join C on c.ID = p.ID", "p.*, c.*", true},
        {"SELECT DISTINCT A, B * 2 FROM T", "A, B * 2", false},
        {"SELECT FIRST (1 + 1) SKIP 3 *\nFROM T", "*", true},
        {"SELECT A, (SELECT COUNT(*) FROM U) FROM T", "A, (SELECT COUNT(*) FROM U)", false},
        {"SELECT 'from *', \"FROM\" /* FROM */ -- FROM\n FROM T", "'from *', \"FROM\" /* FROM */ -- FROM\n", false},
        {"SELECT A*B FROM T", "A*B", false},
        {"SELECT A FROM T UNION SELECT B FROM U", nullptr, false},
        {"(SELECT A FROM T)", nullptr, false},
        {"SELECT A FROM T WHERE X = 'unterminated", nullptr, false},
        {"SELECT A, B", nullptr, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source);
        const QString source = QString::fromLatin1(c.source);
        const auto select = dbaccess::outerSelectList(source);
        ASSERT_EQ(select.has_value(), c.list != nullptr);
        if (!select)
            continue;
        EXPECT_EQ(source.mid(select->begin, select->end - select->begin).trimmed(), QString::fromLatin1(c.list).trimmed());
        EXPECT_EQ(select->star, c.star);
    }
}

TEST(ViewSelectList, RebuildsTheListFromBaseColumnsAndKeepsTheRest)
{
    ods::Relation view;
    view.name = QStringLiteral("V");
    view.viewSource = QStringLiteral("SELECT DISTINCT p.*, c.* FROM P p JOIN \"Child\" c ON c.ID = p.ID WHERE p.X > 0");
    for (const char *name : {"ID", "NAME", "QTY"}) {
        view.columns.emplace_back();
        view.columns.back().name = QString::fromLatin1(name);
    }
    const std::map<int, dbaccess::ViewContext> contexts{{0, {"P", "P"}}, {1, {"C", "Child"}}};
    std::map<QString, dbaccess::ViewColumnBase> bases{{"ID", {0, "ID"}}, {"NAME", {0, "NAME"}}, {"QTY", {1, "QTY"}}};
    EXPECT_EQ(dbaccess::selectFromBaseColumns(view, contexts, bases, 3),
              "CREATE VIEW \"V\" (\"ID\", \"NAME\", \"QTY\") AS SELECT DISTINCT \"P\".\"ID\", \"P\".\"NAME\", "
              "\"C\".\"QTY\" FROM P p JOIN \"Child\" c ON c.ID = p.ID WHERE p.X > 0");
    // A column that shows an expression has no base column: the text stays.
    bases.erase(QStringLiteral("QTY"));
    EXPECT_EQ(dbaccess::selectFromBaseColumns(view, contexts, bases, 3), QString());
}

// Each reason names what was refused and the name the engine did not know;
// a chain of missing objects is told once, down to the first cause, with
// only that cause's engine words.
TEST(RebuiltCopyReasons, SayWhatIsMissingAndWhy)
{
    const auto explain = [](const QString &name) {
        dbaccess::KnownName known;
        if (name == QLatin1String("SERIES"))
            known.whyUnmade = QStringLiteral("the stored procedure \"SERIES\" calls the function \"PICK\" ... (Firebird: inner)");
        if (name == QLatin1String("PICK"))
            known.library = QStringLiteral("ib_udf");
        return known;
    };
    struct Case {
        dbaccess::EngineRefusal refusal;
        const char *says;
        bool engineWords;
    };
    using R = dbaccess::EngineRefusal;
    const Case cases[] = {
        {{R::UnknownTable, "SERIES", "outer"}, "its definition reads \"SERIES\", which cannot be made either: the stored "
                                               "procedure \"SERIES\"", false},
        {{R::UnknownTable, "GONE", "outer"}, "its definition reads \"GONE\", which this program's Firebird engine does not have",
         true},
        {{R::UnknownFunction, "PICK", "outer"}, "its definition calls the external function \"PICK\" of the library "
                                                "\"ib_udf\", which this program does not load", true},
        {{R::UnknownToken, "|", "outer"}, "its definition is written in a form this program's Firebird engine reads "
                                          "differently (it stops at \"|\")", true},
        {{R::ColumnCount, {}, "outer"}, "its definition no longer gives the columns the file records for it", true},
        {{R::Other, {}, "outer"}, "this program's Firebird engine cannot make its definition", true},
    };
    for (const Case &c : cases) {
        const QString reason = dbaccess::refusalReason(QStringLiteral("its definition"), c.refusal, explain);
        SCOPED_TRACE(reason.toStdString());
        EXPECT_TRUE(reason.startsWith(QString::fromUtf8(c.says)));
        EXPECT_EQ(reason.endsWith(QLatin1String("(Firebird: outer)")), c.engineWords);
    }
}

} // namespace

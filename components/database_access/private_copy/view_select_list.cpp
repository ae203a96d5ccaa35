#include "view_select_list.h"

#include "modern_copy_ddl.h"

#include <QStringList>
#include <vector>

namespace dbaccess {

namespace {

struct Token {
    qsizetype begin = 0;
    QString text;   // words upper-cased; one character for anything else
    int depth = 0;  // parentheses around it; "(" and ")" count as outside
};

bool wordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

// Strings, quoted names and comments are skipped whole, so a "FROM" or a
// "*" inside them is not taken for the text's own.
std::optional<std::vector<Token>> tokens(const QString &source)
{
    std::vector<Token> found;
    int depth = 0;
    for (qsizetype i = 0; i < source.size();) {
        const QChar c = source[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'\'' || c == u'"') {
            qsizetype end = i + 1;
            for (; end < source.size(); ++end)
                if (source[end] == c) {
                    if (end + 1 < source.size() && source[end + 1] == c)
                        ++end;
                    else
                        break;
                }
            if (end >= source.size())
                return std::nullopt;
            found.push_back({i, QString(c), depth});
            i = end + 1;
        } else if (source.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype end = source.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0)
                return std::nullopt;
            i = end + 2;
        } else if (source.mid(i, 2) == QLatin1String("--")) {
            const qsizetype end = source.indexOf(u'\n', i);
            i = end < 0 ? source.size() : end + 1;
        } else if (wordCharacter(c)) {
            qsizetype end = i;
            while (end < source.size() && wordCharacter(source[end]))
                ++end;
            found.push_back({i, source.mid(i, end - i).toUpper(), depth});
            i = end;
        } else {
            if (c == u')' && --depth < 0)
                return std::nullopt;
            found.push_back({i, QString(c), depth});
            if (c == u'(')
                ++depth;
            ++i;
        }
    }
    if (depth != 0)
        return std::nullopt;
    return found;
}

// The token after a FIRST or SKIP argument: a number, a parameter, or an
// expression in parentheses.
size_t pastArgument(const std::vector<Token> &list, size_t at)
{
    if (at < list.size() && list[at].text == QLatin1String("(")) {
        while (++at < list.size() && !(list[at].depth == 0 && list[at].text == QLatin1String(")"))) {
        }
    }
    return at + 1;
}

} // namespace

std::optional<SelectList> outerSelectList(const QString &source)
{
    const auto list = tokens(source);
    if (!list || list->empty() || list->front().text != QLatin1String("SELECT"))
        return std::nullopt;
    for (const Token &token : *list)
        if (token.depth == 0 && token.text == QLatin1String("UNION"))
            return std::nullopt;
    size_t at = 1;
    for (bool modifier = true; modifier && at < list->size();) {
        const QString &word = (*list)[at].text;
        if (word == QLatin1String("FIRST") || word == QLatin1String("SKIP"))
            at = pastArgument(*list, at + 1);
        else if (word == QLatin1String("DISTINCT") || word == QLatin1String("ALL"))
            ++at;
        else
            modifier = false;
    }
    if (at >= list->size())
        return std::nullopt;
    SelectList select{(*list)[at].begin, 0, false};
    QString previous = QStringLiteral(",");
    for (; at < list->size(); ++at) {
        const Token &token = (*list)[at];
        if (token.depth != 0)
            continue;
        if (token.text == QLatin1String("FROM")) {
            select.end = token.begin;
            return select;
        }
        // "*" after a comma or a dot, and not before an operand, is all
        // columns; anything else is a product.
        if (token.text == QLatin1String("*") && (previous == QLatin1String(",") || previous == QLatin1String("."))) {
            const bool last = at + 1 >= list->size() || (*list)[at + 1].text == QLatin1String(",")
                || (*list)[at + 1].text == QLatin1String("FROM");
            select.star = select.star || last;
        }
        previous = token.text;
    }
    return std::nullopt;
}

QString selectFromBaseColumns(const ods::Relation &view, const std::map<int, ViewContext> &contexts,
                              const std::map<QString, ViewColumnBase> &bases, int dialect)
{
    const auto select = outerSelectList(view.viewSource);
    if (!select)
        return {};
    QStringList columns;
    for (const auto &column : view.columns) {
        const auto base = bases.find(column.name);
        if (base == bases.end())
            return {};
        const auto context = contexts.find(base->second.context);
        if (context == contexts.end())
            return {};
        columns << sqlName(context->second.alias, dialect) + u'.' + sqlName(base->second.field, dialect);
    }
    ods::Relation rebuilt = view;
    rebuilt.viewSource = view.viewSource.left(select->begin) + columns.join(QStringLiteral(", ")) + u' '
        + view.viewSource.mid(select->end);
    return createViewStatement(rebuilt, dialect);
}

} // namespace dbaccess

#pragma once

// A view's text rebuilt from what the file records about its columns. A view
// written with "*" showed the columns its tables had when it was made; run
// again after those tables gained or lost columns, its text gives another
// list. The file keeps, for each view column, the FROM item and the base
// column it shows: the select list made from that gives the view as it is.

#include "file_catalogue.h"

#include <QString>
#include <optional>

namespace dbaccess {

// Where the outermost select list of a view's text lies (from the first
// column to the FROM), and whether it uses "*" ("*", "P.*").
struct SelectList {
    qsizetype begin = 0;
    qsizetype end = 0;
    bool star = false;
};

// nullopt for a text that is not one plain SELECT ... FROM (a UNION, a text
// in parentheses, a damaged text).
std::optional<SelectList> outerSelectList(const QString &source);

// The view's text with its outermost select list made of its columns'
// base columns, in the view's column order; empty when a column shows an
// expression or the text has no plain select list.
QString selectFromBaseColumns(const ods::Relation &view, const std::map<int, ViewContext> &contexts,
                              const std::map<QString, ViewColumnBase> &bases, int dialect);

} // namespace dbaccess

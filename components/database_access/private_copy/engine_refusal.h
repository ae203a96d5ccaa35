#pragma once

// Why the embedded engine refused a statement of a rebuilt copy, and the
// words that tell a user what that means for a view or a computed column.

#include <QString>
#include <functional>

namespace dbaccess {

struct EngineRefusal {
    enum Kind { None, Other, UnknownTable, UnknownColumn, UnknownToken, ColumnCount, UnknownFunction };
    Kind kind = None;
    QString name;   // the unknown table, column, function or token
    QString text;   // the engine's own words

    bool refused() const { return kind != None; }
};

// What the copy knows about a name the engine did not know; empty when
// nothing.
struct KnownName {
    QString whyUnmade;  // a table, view, procedure or function the copy could not make
    QString library;    // an external function's
};
using NameExplanation = std::function<KnownName(const QString &name)>;

// A clause for "... cannot be read: <clause>.": what the engine refused in
// the user's terms, then the engine's words.
QString refusalReason(const QString &what, const EngineRefusal &refusal, const NameExplanation &explain);

} // namespace dbaccess

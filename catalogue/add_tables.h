#pragma once

class QString;
class QTreeWidget;

namespace dbaccess {
struct Login;
}

namespace FireBird {

// Where the listing puts the names it finds: the table window's list, or a
// run without windows.
class TableListing {
public:
    virtual ~TableListing() = default;
    virtual void clear() = 0;
    virtual void append(const QString &name) = 0;
};

// Empties the listing and fills it with the names of the tables and views of
// the database the login names, in catalogue order; the relations the
// database marks as its own system relations are left out.
// Returns what tells that database from another put in its place (empty:
// the connection could not tell, or the database did not open).
QString AddTablesToFireBird(TableListing &list, const dbaccess::Login &login);

// The same into the table window's list, each name unticked.
QString AddTablesToFireBirdListbox(QTreeWidget &list, const dbaccess::Login &login);

} // namespace FireBird

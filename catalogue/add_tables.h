#pragma once

class QString;
class QTreeWidget;

namespace FireBird {

// Empties the list and fills it with the names of the tables and views of the
// database the connection string names, unticked, in catalogue order; the
// relations the database marks as its own system relations are left out.
void AddTablesToFireBirdListbox(QTreeWidget &list, const QString &connectionString);

} // namespace FireBird

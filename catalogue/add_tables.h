#pragma once

class QTreeWidget;

namespace FireBird {

// Empties the list and fills it with the database's table names, unticked,
// in catalogue order; names whose fourth character is '$' are system tables.
void AddTablesToFireBirdListbox(QTreeWidget &list);

} // namespace FireBird

#pragma once

class QTreeWidget;

namespace FireBird {

// Empties the list and fills it with the names of the database's tables and
// views, unticked, in catalogue order; the relations the database marks as
// its own system relations are left out.
void AddTablesToFireBirdListbox(QTreeWidget &list);

} // namespace FireBird

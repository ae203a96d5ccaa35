#include "register_database_access.h"

#include "cache_folder.h"
#include "database_connection.h"
#include "rows_recordset.h"

void registerDatabaseAccessComponents()
{
    auto &registry = components::Registry::instance();
    registry.registerFactory(ado::ConnectionClass, [] { return std::make_shared<dbaccess::DatabaseConnection>(); });
    registry.registerFactory(ado::RecordsetClass, [] { return std::make_shared<dbaccess::RowsRecordset>(); });
    // A program killed while it copied a file left its partial copy behind.
    dbaccess::sweepCopiesFolder();
}

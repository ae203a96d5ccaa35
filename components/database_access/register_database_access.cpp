#include "register_database_access.h"

#include "firebird_connection.h"
#include "firebird_recordset.h"

void registerDatabaseAccessComponents()
{
    auto &registry = components::Registry::instance();
    registry.registerFactory(ado::ConnectionClass, [] { return std::make_shared<dbaccess::FirebirdConnection>(); });
    registry.registerFactory(ado::RecordsetClass, [] { return std::make_shared<dbaccess::FirebirdRecordset>(); });
}

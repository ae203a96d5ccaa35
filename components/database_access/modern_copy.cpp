#include "modern_copy.h"

#include "component_error.h"

namespace dbaccess {

QString modernCopy(const FileVersion &version, const ods::Database &database)
{
    if (database.facts().firebird && database.facts().odsMajor == 12)
        return byteCopy(version);
    throw components::ComponentError(QStringLiteral("Views and computed columns of \"%1\" cannot be read yet.").arg(version.path));
}

} // namespace dbaccess

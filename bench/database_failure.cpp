#include "database_failure.h"

#include "component_error.h"
#include "firebird_client.h"

#include <cstdio>

int reportDatabaseFailure()
{
    try {
        throw;
    } catch (const components::ComponentError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
    } catch (const Firebird::FbException &error) {
        char text[1024] = {};
        dbaccess::firebirdMaster()->getUtilInterface()->formatStatus(text, sizeof text, error.getStatus());
        std::fprintf(stderr, "%s\n", text);
    }
    return 1;
}

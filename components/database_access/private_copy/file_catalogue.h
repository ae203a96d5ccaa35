#pragma once

// What a rebuilt copy needs from the file's system tables beyond its tables
// and columns: where each view column comes from; the stored procedures,
// PSQL functions and packages with their parameters and sources; the
// exceptions, generators and external functions; who depends on whom. Read
// through the reader's own relation rows, so every on-disk structure it
// reads is read the same way; a system table an older version lacks reads as
// empty.

#include "ods/ods_database.h"

#include <QString>
#include <map>
#include <set>
#include <vector>

namespace dbaccess {

// One FROM item of a view (RDB$VIEW_RELATIONS).
struct ViewContext {
    QString alias;     // the name the view's text gives it; the relation's own name when none
    QString relation;
};

// The base column a view column shows (RDB$RELATION_FIELDS): none for an
// expression.
struct ViewColumnBase {
    int context = 0;
    QString field;
};

struct RoutineParameter {
    QString name;
    bool output = false;
    ods::Column type;          // dtype etc. from the parameter's RDB$FIELDS entry
    QString defaultSource;     // "= 5", "DEFAULT 5"; empty for none
};

// A stored procedure, or a function written in PSQL (whose one output is
// what it returns, unnamed).
struct StoredRoutine {
    QString name;
    QString source;            // the text after AS
    bool function = false;
    bool deterministic = false;
    std::vector<RoutineParameter> parameters; // in declaration order, inputs first
};

// RDB$DEPENDENCIES object types.
enum DependencyType { DependsOnProcedure = 5, DependsOnException = 7, DependsOnGenerator = 14, DependsOnFunction = 15,
                      DependsOnPackage = 18, DependsOnPackageBody = 19 };

struct Dependency {
    QString name;
    int type = 0;
    QString package;   // of a packaged procedure or function
};

// A package is made whole: its header, then its body.
struct StoredPackage {
    QString header;    // the texts after AS
    QString body;
};

struct FileCatalogue {
    std::map<QString, std::map<int, ViewContext>> viewContexts;           // by view, then context
    std::map<QString, std::map<QString, ViewColumnBase>> viewColumnBases; // by view, then column
    std::map<QString, ods::Column> fieldTypes;                            // RDB$FIELDS by name
    std::map<QString, std::vector<std::pair<int, int>>> fieldBounds;      // arrays' lower and upper bounds
    std::map<QString, QString> fieldDefaults;                             // RDB$FIELDS defaults' source, where set
    std::vector<StoredRoutine> routines;
    std::map<QString, StoredPackage> packages;
    std::map<QString, QString> exceptions;                                // name, message
    std::map<QString, int> generators;                                    // name, id
    std::map<QString, QString> externalFunctions;                         // name, its library
    std::map<QString, std::vector<Dependency>> dependencies;              // by dependent name

    const StoredRoutine *routine(const QString &name) const;
};

FileCatalogue readFileCatalogue(const ods::Database &database);

// What the named objects (views, computed columns' domains) use, and what
// that uses in turn.
struct UsedObjects {
    std::vector<QString> routines; // stored procedures and PSQL functions
    std::vector<QString> packages;
    std::set<QString> exceptions;
    std::set<QString> generators;
};
UsedObjects usedBy(const FileCatalogue &catalogue, const std::vector<QString> &users);

} // namespace dbaccess

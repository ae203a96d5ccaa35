#include "file_catalogue.h"

#include "component_error.h"
#include "ods/data_type.h"
#include "ods/system_table.h"

#include <QRegularExpression>
#include <deque>

namespace dbaccess {

namespace {

bool userObject(const ods::SystemTable &table)
{
    return table.number("RDB$SYSTEM_FLAG").value_or(0) == 0;
}

ods::Column fieldType(const ods::Database &database, const ods::SystemTable &fields)
{
    ods::Column type;
    type.name = fields.text("RDB$FIELD_NAME");
    type.dtype = database.dtypeOfFieldType(int(fields.number("RDB$FIELD_TYPE").value_or(0)));
    type.length = int(fields.number("RDB$FIELD_LENGTH").value_or(0));
    if (type.dtype == ods::DtVarying)
        type.length += 2;
    type.scale = int(fields.number("RDB$FIELD_SCALE").value_or(0));
    type.subType = int(fields.number("RDB$FIELD_SUB_TYPE").value_or(0));
    type.charset = database.firebirdCharset(int(fields.number("RDB$CHARACTER_SET_ID").value_or(0)));
    type.characterLength = int(fields.number("RDB$CHARACTER_LENGTH").value_or(0));
    type.segmentLength = int(fields.number("RDB$SEGMENT_LENGTH").value_or(0));
    type.dimensions = int(fields.number("RDB$DIMENSIONS").value_or(0));
    return type;
}

void readViews(const ods::Database &database, FileCatalogue &catalogue)
{
    ods::SystemTable contexts(database, QStringLiteral("RDB$VIEW_RELATIONS"));
    while (contexts.next()) {
        ViewContext context{contexts.text("RDB$CONTEXT_NAME"), contexts.text("RDB$RELATION_NAME")};
        if (context.alias.isEmpty())
            context.alias = context.relation;
        catalogue.viewContexts[contexts.text("RDB$VIEW_NAME")][int(contexts.number("RDB$VIEW_CONTEXT").value_or(-1))] =
            context;
    }
    ods::SystemTable columns(database, QStringLiteral("RDB$RELATION_FIELDS"));
    while (columns.next()) {
        const QString view = columns.text("RDB$RELATION_NAME");
        const auto context = columns.number("RDB$VIEW_CONTEXT");
        const QString base = columns.text("RDB$BASE_FIELD");
        if (catalogue.viewContexts.count(view) && context && !base.isEmpty())
            catalogue.viewColumnBases[view][columns.text("RDB$FIELD_NAME")] = {int(*context), base};
    }
}

void readFields(const ods::Database &database, FileCatalogue &catalogue)
{
    ods::SystemTable fields(database, QStringLiteral("RDB$FIELDS"));
    while (fields.next()) {
        catalogue.fieldTypes[fields.text("RDB$FIELD_NAME")] = fieldType(database, fields);
        if (const QString source = fields.text("RDB$DEFAULT_SOURCE").trimmed(); !source.isEmpty())
            catalogue.fieldDefaults[fields.text("RDB$FIELD_NAME")] = source;
    }
    ods::SystemTable dimensions(database, QStringLiteral("RDB$FIELD_DIMENSIONS"));
    std::map<QString, std::map<int, std::pair<int, int>>> bounds;
    while (dimensions.next())
        bounds[dimensions.text("RDB$FIELD_NAME")][int(dimensions.number("RDB$DIMENSION").value_or(0))] = {
            int(dimensions.number("RDB$LOWER_BOUND").value_or(1)), int(dimensions.number("RDB$UPPER_BOUND").value_or(1))};
    for (const auto &[field, byDimension] : bounds)
        for (const auto &[dimension, range] : byDimension)
            catalogue.fieldBounds[field].push_back(range);
}

// Parameters by routine, inputs then outputs, each in its declared order.
using ParameterLists = std::map<QString, std::map<std::pair<int, int>, RoutineParameter>>;

RoutineParameter parameter(const FileCatalogue &catalogue, const ods::SystemTable &rows, const char *nameColumn)
{
    RoutineParameter parameter;
    parameter.name = rows.text(nameColumn);
    const QString field = rows.text("RDB$FIELD_SOURCE");
    const auto type = catalogue.fieldTypes.find(field);
    if (type != catalogue.fieldTypes.end())
        parameter.type = type->second;
    parameter.defaultSource = rows.text("RDB$DEFAULT_SOURCE").trimmed();
    // Firebird 2 keeps the default of a parameter declared with a plain type
    // in the field the engine made for it (RDB$ and a number), as the
    // engine reads it too; a named domain's default is the domain's own.
    static const QRegularExpression madeForIt(QStringLiteral("^RDB\\$[0-9]+$"));
    const auto fieldDefault = catalogue.fieldDefaults.find(field);
    if (parameter.defaultSource.isEmpty() && fieldDefault != catalogue.fieldDefaults.end()
        && madeForIt.match(field).hasMatch())
        parameter.defaultSource = fieldDefault->second;
    return parameter;
}

void readProcedures(const ods::Database &database, FileCatalogue &catalogue)
{
    ods::SystemTable procedures(database, QStringLiteral("RDB$PROCEDURES"));
    while (procedures.next()) {
        // Packaged and external procedures have no body of their own here.
        if (!userObject(procedures) || !procedures.text("RDB$PACKAGE_NAME").isEmpty()
            || !procedures.text("RDB$ENGINE_NAME").isEmpty())
            continue;
        catalogue.routines.push_back(
            {procedures.text("RDB$PROCEDURE_NAME"), procedures.text("RDB$PROCEDURE_SOURCE"), false, false, {}});
    }
    ParameterLists parameters;
    ods::SystemTable rows(database, QStringLiteral("RDB$PROCEDURE_PARAMETERS"));
    while (rows.next()) {
        if (!rows.text("RDB$PACKAGE_NAME").isEmpty())
            continue;
        RoutineParameter read = parameter(catalogue, rows, "RDB$PARAMETER_NAME");
        read.output = rows.number("RDB$PARAMETER_TYPE").value_or(0) != 0;
        parameters[rows.text("RDB$PROCEDURE_NAME")][{read.output, int(rows.number("RDB$PARAMETER_NUMBER").value_or(0))}] =
            read;
    }
    for (auto &routine : catalogue.routines)
        if (!routine.function)
            for (auto &[order, read] : parameters[routine.name])
                routine.parameters.push_back(read);
}

// External functions are named with their library; PSQL ones come with
// their source and arguments. The argument at the return position is what
// the function returns.
void readFunctions(const ods::Database &database, FileCatalogue &catalogue)
{
    std::map<QString, int> returnPositions;
    ods::SystemTable functions(database, QStringLiteral("RDB$FUNCTIONS"));
    while (functions.next()) {
        if (!userObject(functions) || !functions.text("RDB$PACKAGE_NAME").isEmpty())
            continue;
        const QString name = functions.text("RDB$FUNCTION_NAME");
        const QString source = functions.text("RDB$FUNCTION_SOURCE");
        if (source.isEmpty() || !functions.text("RDB$ENGINE_NAME").isEmpty()) {
            catalogue.externalFunctions[name] = functions.text("RDB$MODULE_NAME");
            continue;
        }
        catalogue.routines.push_back(
            {name, source, true, functions.number("RDB$DETERMINISTIC_FLAG").value_or(0) != 0, {}});
        returnPositions[name] = int(functions.number("RDB$RETURN_ARGUMENT").value_or(0));
    }
    ParameterLists arguments;
    ods::SystemTable rows(database, QStringLiteral("RDB$FUNCTION_ARGUMENTS"));
    while (rows.next()) {
        const QString function = rows.text("RDB$FUNCTION_NAME");
        if (!rows.text("RDB$PACKAGE_NAME").isEmpty() || !returnPositions.count(function))
            continue;
        RoutineParameter read = parameter(catalogue, rows, "RDB$ARGUMENT_NAME");
        const int position = int(rows.number("RDB$ARGUMENT_POSITION").value_or(0));
        read.output = position == returnPositions[function];
        arguments[function][{read.output, position}] = read;
    }
    for (auto &routine : catalogue.routines)
        if (routine.function)
            for (auto &[order, read] : arguments[routine.name])
                routine.parameters.push_back(read);
}

void readOtherObjects(const ods::Database &database, FileCatalogue &catalogue)
{
    ods::SystemTable exceptions(database, QStringLiteral("RDB$EXCEPTIONS"));
    while (exceptions.next())
        if (userObject(exceptions))
            catalogue.exceptions[exceptions.text("RDB$EXCEPTION_NAME")] = exceptions.text("RDB$MESSAGE");
    ods::SystemTable generators(database, QStringLiteral("RDB$GENERATORS"));
    while (generators.next())
        if (userObject(generators))
            catalogue.generators[generators.text("RDB$GENERATOR_NAME")] = int(generators.number("RDB$GENERATOR_ID").value_or(-1));
    ods::SystemTable dependencies(database, QStringLiteral("RDB$DEPENDENCIES"));
    while (dependencies.next())
        catalogue.dependencies[dependencies.text("RDB$DEPENDENT_NAME")].push_back(
            {dependencies.text("RDB$DEPENDED_ON_NAME"), int(dependencies.number("RDB$DEPENDED_ON_TYPE").value_or(-1)),
             dependencies.text("RDB$PACKAGE_NAME")});
    ods::SystemTable packages(database, QStringLiteral("RDB$PACKAGES"));
    while (packages.next())
        if (userObject(packages))
            catalogue.packages[packages.text("RDB$PACKAGE_NAME")] = {packages.text("RDB$PACKAGE_HEADER_SOURCE"),
                                                                     packages.text("RDB$PACKAGE_BODY_SOURCE")};
}

} // namespace

const StoredRoutine *FileCatalogue::routine(const QString &name) const
{
    for (const auto &routine : routines)
        if (routine.name == name)
            return &routine;
    return nullptr;
}

FileCatalogue readFileCatalogue(const ods::Database &database)
{
    FileCatalogue catalogue;
    // A damaged system table leaves its part out: what needs it then fails
    // on its own, with its own reason.
    for (const auto read : {readViews, readFields, readProcedures, readFunctions, readOtherObjects}) {
        try {
            read(database, catalogue);
        } catch (const components::ComponentError &) {
        }
    }
    return catalogue;
}

UsedObjects usedBy(const FileCatalogue &catalogue, const std::vector<QString> &users)
{
    UsedObjects used;
    std::deque<QString> waiting(users.begin(), users.end());
    std::set<QString> seen(users.begin(), users.end());
    while (!waiting.empty()) {
        const auto uses = catalogue.dependencies.find(waiting.front());
        waiting.pop_front();
        if (uses == catalogue.dependencies.end())
            continue;
        for (const Dependency &dependency : uses->second) {
            const bool packaged = !dependency.package.isEmpty() || dependency.type == DependsOnPackage
                || dependency.type == DependsOnPackageBody;
            const QString package = dependency.package.isEmpty() ? dependency.name : dependency.package;
            if (packaged) {
                if (seen.insert(package).second) {
                    used.packages.push_back(package);
                    waiting.push_back(package);
                }
            } else if (dependency.type == DependsOnException)
                used.exceptions.insert(dependency.name);
            else if (dependency.type == DependsOnGenerator)
                used.generators.insert(dependency.name);
            else if ((dependency.type == DependsOnProcedure
                      || (dependency.type == DependsOnFunction && catalogue.routine(dependency.name)))
                     && seen.insert(dependency.name).second) {
                used.routines.push_back(dependency.name);
                waiting.push_back(dependency.name);
            }
        }
    }
    return used;
}

} // namespace dbaccess

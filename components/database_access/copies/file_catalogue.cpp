#include "file_catalogue.h"

#include "component_error.h"
#include "field_reader.h"
#include "record_format.h"

#include <cstring>

namespace dbaccess {

namespace {

// One system table's rows, its columns asked for by name.
class SystemTable {
public:
    SystemTable(const ods::Database &database, const QString &name) : m_database(database)
    {
        for (const auto &relation : database.relations())
            if (relation.name == name && !relation.view) {
                m_relation = &relation;
                m_rows = database.rows(relation);
                return;
            }
    }

    bool next() { return m_rows && m_rows->next(); }

    bool isNull(const char *column) const
    {
        const int index = indexOf(column);
        return index < 0 || m_rows->isNull(index);
    }

    // CHAR and VARCHAR without their trailing blanks; a text BLOB whole.
    QString text(const char *column) const
    {
        if (isNull(column))
            return {};
        const int index = indexOf(column);
        const ods::Column &type = m_relation->columns[size_t(index)];
        const QByteArrayView value = m_rows->value(index);
        QByteArray bytes;
        if (type.dtype == ods::DtText) {
            bytes = value.toByteArray();
        } else if (type.dtype == ods::DtVarying && value.size() >= 2) {
            quint16 length;
            std::memcpy(&length, value.data(), sizeof length);
            bytes = value.sliced(2, qMin<qsizetype>(length, value.size() - 2)).toByteArray();
        } else if (type.dtype == ods::DtBlob) {
            try {
                bytes = m_database.blob(*m_relation, value);
            } catch (const components::ComponentError &) {
                return {}; // a damaged text costs only itself
            }
            return ods::FieldReader::decodeName(bytes);
        }
        while (bytes.endsWith(' '))
            bytes.chop(1);
        return ods::FieldReader::decodeName(bytes);
    }

    std::optional<qint64> number(const char *column) const
    {
        if (isNull(column))
            return std::nullopt;
        const int index = indexOf(column);
        const QByteArrayView value = m_rows->value(index);
        switch (m_relation->columns[size_t(index)].dtype) {
        case ods::DtShort: return read<qint16>(value);
        case ods::DtLong: return read<qint32>(value);
        case ods::DtInt64: return read<qint64>(value);
        default: return std::nullopt;
        }
    }

private:
    template <typename T>
    static std::optional<qint64> read(QByteArrayView value)
    {
        if (value.size() < qsizetype(sizeof(T)))
            return std::nullopt;
        T number;
        std::memcpy(&number, value.data(), sizeof number);
        return qint64(number);
    }

    int indexOf(const char *column) const
    {
        if (!m_relation)
            return -1;
        const auto found = m_indexes.find(column);
        if (found != m_indexes.end())
            return found->second;
        int index = -1;
        for (size_t i = 0; i < m_relation->columns.size(); ++i)
            if (m_relation->columns[i].name == QLatin1String(column))
                index = int(i);
        m_indexes[column] = index;
        return index;
    }

    const ods::Database &m_database;
    const ods::Relation *m_relation = nullptr;
    std::unique_ptr<ods::Rows> m_rows;
    mutable std::map<std::string, int> m_indexes;
};

bool userObject(const SystemTable &table)
{
    return table.number("RDB$SYSTEM_FLAG").value_or(0) == 0;
}

ods::Column fieldType(const SystemTable &fields)
{
    ods::Column type;
    type.name = fields.text("RDB$FIELD_NAME");
    type.dtype = ods::dtypeOfFieldType(int(fields.number("RDB$FIELD_TYPE").value_or(0)));
    type.length = int(fields.number("RDB$FIELD_LENGTH").value_or(0));
    if (type.dtype == ods::DtVarying)
        type.length += 2;
    type.scale = int(fields.number("RDB$FIELD_SCALE").value_or(0));
    type.subType = int(fields.number("RDB$FIELD_SUB_TYPE").value_or(0));
    type.charset = int(fields.number("RDB$CHARACTER_SET_ID").value_or(0));
    type.characterLength = int(fields.number("RDB$CHARACTER_LENGTH").value_or(0));
    type.segmentLength = int(fields.number("RDB$SEGMENT_LENGTH").value_or(0));
    type.dimensions = int(fields.number("RDB$DIMENSIONS").value_or(0));
    return type;
}

void readViews(const ods::Database &database, FileCatalogue &catalogue)
{
    SystemTable contexts(database, QStringLiteral("RDB$VIEW_RELATIONS"));
    while (contexts.next()) {
        ViewContext context{contexts.text("RDB$CONTEXT_NAME"), contexts.text("RDB$RELATION_NAME")};
        if (context.alias.isEmpty())
            context.alias = context.relation;
        catalogue.viewContexts[contexts.text("RDB$VIEW_NAME")][int(contexts.number("RDB$VIEW_CONTEXT").value_or(-1))] =
            context;
    }
    SystemTable columns(database, QStringLiteral("RDB$RELATION_FIELDS"));
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
    SystemTable fields(database, QStringLiteral("RDB$FIELDS"));
    while (fields.next())
        catalogue.fieldTypes[fields.text("RDB$FIELD_NAME")] = fieldType(fields);
    SystemTable dimensions(database, QStringLiteral("RDB$FIELD_DIMENSIONS"));
    std::map<QString, std::map<int, std::pair<int, int>>> bounds;
    while (dimensions.next())
        bounds[dimensions.text("RDB$FIELD_NAME")][int(dimensions.number("RDB$DIMENSION").value_or(0))] = {
            int(dimensions.number("RDB$LOWER_BOUND").value_or(1)), int(dimensions.number("RDB$UPPER_BOUND").value_or(1))};
    for (const auto &[field, byDimension] : bounds)
        for (const auto &[dimension, range] : byDimension)
            catalogue.fieldBounds[field].push_back(range);
}

// Parameters by routine, inputs then outputs, each in its declared order.
using ParameterLists = std::map<QString, std::map<std::pair<int, int>, ProcedureParameter>>;

ProcedureParameter parameter(const FileCatalogue &catalogue, const SystemTable &rows, const char *nameColumn)
{
    ProcedureParameter parameter;
    parameter.name = rows.text(nameColumn);
    const auto type = catalogue.fieldTypes.find(rows.text("RDB$FIELD_SOURCE"));
    if (type != catalogue.fieldTypes.end())
        parameter.type = type->second;
    parameter.defaultSource = rows.text("RDB$DEFAULT_SOURCE").trimmed();
    return parameter;
}

void readProcedures(const ods::Database &database, FileCatalogue &catalogue)
{
    SystemTable procedures(database, QStringLiteral("RDB$PROCEDURES"));
    while (procedures.next()) {
        // Packaged and external procedures have no body of their own here.
        if (!userObject(procedures) || !procedures.text("RDB$PACKAGE_NAME").isEmpty()
            || !procedures.text("RDB$ENGINE_NAME").isEmpty())
            continue;
        catalogue.routines.push_back(
            {procedures.text("RDB$PROCEDURE_NAME"), procedures.text("RDB$PROCEDURE_SOURCE"), false, false, {}});
    }
    ParameterLists parameters;
    SystemTable rows(database, QStringLiteral("RDB$PROCEDURE_PARAMETERS"));
    while (rows.next()) {
        if (!rows.text("RDB$PACKAGE_NAME").isEmpty())
            continue;
        ProcedureParameter read = parameter(catalogue, rows, "RDB$PARAMETER_NAME");
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
    SystemTable functions(database, QStringLiteral("RDB$FUNCTIONS"));
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
    SystemTable rows(database, QStringLiteral("RDB$FUNCTION_ARGUMENTS"));
    while (rows.next()) {
        const QString function = rows.text("RDB$FUNCTION_NAME");
        if (!rows.text("RDB$PACKAGE_NAME").isEmpty() || !returnPositions.count(function))
            continue;
        ProcedureParameter read = parameter(catalogue, rows, "RDB$ARGUMENT_NAME");
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
    SystemTable exceptions(database, QStringLiteral("RDB$EXCEPTIONS"));
    while (exceptions.next())
        if (userObject(exceptions))
            catalogue.exceptions[exceptions.text("RDB$EXCEPTION_NAME")] = exceptions.text("RDB$MESSAGE");
    SystemTable generators(database, QStringLiteral("RDB$GENERATORS"));
    while (generators.next())
        if (userObject(generators))
            catalogue.generators.insert(generators.text("RDB$GENERATOR_NAME"));
    SystemTable dependencies(database, QStringLiteral("RDB$DEPENDENCIES"));
    while (dependencies.next())
        catalogue.dependencies[dependencies.text("RDB$DEPENDENT_NAME")].push_back(
            {dependencies.text("RDB$DEPENDED_ON_NAME"), int(dependencies.number("RDB$DEPENDED_ON_TYPE").value_or(-1))});
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

} // namespace dbaccess

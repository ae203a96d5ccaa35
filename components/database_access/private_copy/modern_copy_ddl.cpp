#include "modern_copy_ddl.h"

#include "engine_value.h"
#include "ods/character_sets.h"

#include <QStringList>

namespace dbaccess {

namespace {

int characters(const ods::Column &column)
{
    if (column.characterLength > 0)
        return column.characterLength;
    const int bytes = column.dtype == ods::DtVarying ? column.length - 2 : column.length;
    return qMax(1, bytes / ods::bytesPerCharacter(column.charset));
}

QString charsetClause(int charset, const std::map<int, QString> &charsetNames)
{
    const auto name = charsetNames.find(charset);
    return name == charsetNames.end() ? QString() : QStringLiteral(" CHARACTER SET ") + name->second;
}

QString exactType(const char *plain, int precision, const ods::Column &column)
{
    if (column.scale == 0 && column.subType == 0)
        return QString::fromLatin1(plain);
    return QStringLiteral("%1(%2,%3)")
        .arg(column.subType == 2 ? QStringLiteral("DECIMAL") : QStringLiteral("NUMERIC"), QString::number(precision),
             QString::number(-column.scale));
}

} // namespace

QString sqlName(const QString &name, int dialect)
{
    if (dialect == 1)
        return name;
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

std::optional<QString> columnDeclaration(const ods::Column &column, int dialect,
                                         const std::map<int, QString> &charsetNames,
                                         const std::vector<std::pair<int, int>> &bounds)
{
    if (column.dimensions > 0) {
        // The engine's grammar puts a text array's character set after its bounds.
        ods::Column element = column;
        element.dimensions = 0;
        const auto type = columnDeclaration(element, dialect, {});
        if (!type || element.dtype == ods::DtArray || element.dtype == ods::DtBlob)
            return std::nullopt;
        QStringList ranges;
        for (int d = 0; d < column.dimensions; ++d) {
            const auto range = size_t(d) < bounds.size() ? bounds[size_t(d)] : std::pair(1, 1);
            ranges << QStringLiteral("%1:%2").arg(range.first).arg(range.second);
        }
        const bool text = element.dtype == ods::DtText || element.dtype == ods::DtVarying;
        return *type + QStringLiteral(" [") + ranges.join(u',') + u']'
            + (text ? charsetClause(element.charset, charsetNames) : QString());
    }
    switch (column.dtype) {
    case ods::DtText:
        return QStringLiteral("CHAR(%1)").arg(characters(column)) + charsetClause(column.charset, charsetNames);
    case ods::DtVarying:
        return QStringLiteral("VARCHAR(%1)").arg(characters(column)) + charsetClause(column.charset, charsetNames);
    case ods::DtShort: return exactType("SMALLINT", 4, column);
    case ods::DtLong: return exactType("INTEGER", 9, column);
    case ods::DtInt64: return exactType("BIGINT", 18, column);
    case ods::DtReal: return QStringLiteral("FLOAT");
    case ods::DtDouble:
    case ods::DtDFloat:
        // Only dialect 1 keeps a scale on a double: its NUMERIC(15,2).
        if (column.scale < 0 && dialect == 1)
            return QStringLiteral("NUMERIC(15,%1)").arg(-column.scale);
        return QStringLiteral("DOUBLE PRECISION");
    case ods::DtDate: return QStringLiteral("DATE");
    case ods::DtTime: return QStringLiteral("TIME");
    case ods::DtTimestamp: return QStringLiteral("TIMESTAMP");
    case ods::DtBoolean: return QStringLiteral("BOOLEAN");
    case ods::DtBlob: {
        QString type = QStringLiteral("BLOB SUB_TYPE %1").arg(column.subType);
        if (column.segmentLength > 0)
            type += QStringLiteral(" SEGMENT SIZE %1").arg(column.segmentLength);
        if (column.subType == 1)
            type += charsetClause(column.charset, charsetNames);
        return type;
    }
    default: return std::nullopt;
    }
}

QString createTableStatement(const ods::Relation &relation, const std::vector<QString> &declarations, int dialect)
{
    QStringList columns;
    std::size_t next = 0;
    for (const auto &column : relation.columns)
        if (column.computedSource.isEmpty())
            columns << sqlName(column.name, dialect) + u' ' + declarations[next++];
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(sqlName(relation.name, dialect), columns.join(QStringLiteral(", ")));
}

QString computedColumnStatement(const ods::Relation &relation, const ods::Column &column, int dialect)
{
    QString source = column.computedSource.trimmed();
    if (!source.startsWith(u'('))
        source = u'(' + source + u')';
    return QStringLiteral("ALTER TABLE %1 ADD %2 COMPUTED BY %3")
        .arg(sqlName(relation.name, dialect), sqlName(column.name, dialect), source);
}

QString emptyComputedColumnStatement(const ods::Relation &relation, const ods::Column &column, const QString &declaration,
                                     int dialect)
{
    return QStringLiteral("ALTER TABLE %1 ADD %2 COMPUTED BY (CAST(NULL AS %3))")
        .arg(sqlName(relation.name, dialect), sqlName(column.name, dialect), declaration);
}

QString columnPositionStatement(const ods::Relation &relation, const ods::Column &column, int position, int dialect)
{
    return QStringLiteral("ALTER TABLE %1 ALTER %2 POSITION %3")
        .arg(sqlName(relation.name, dialect), sqlName(column.name, dialect), QString::number(position));
}

QString createViewStatement(const ods::Relation &view, int dialect)
{
    const QString source = view.viewSource.trimmed();
    if (source.isEmpty())
        return {};
    QStringList columns;
    for (const auto &column : view.columns)
        columns << sqlName(column.name, dialect);
    return QStringLiteral("CREATE VIEW %1 (%2) AS %3").arg(sqlName(view.name, dialect), columns.join(QStringLiteral(", ")), source);
}

std::optional<QString> createRoutineStatement(const StoredRoutine &routine, int dialect,
                                              const std::map<int, QString> &charsetNames)
{
    QStringList inputs, outputs;
    for (const auto &parameter : routine.parameters) {
        const auto type = columnDeclaration(parameter.type, dialect, charsetNames);
        if (!type)
            return std::nullopt;
        QString declaration = routine.function && parameter.output ? *type : sqlName(parameter.name, dialect) + u' ' + *type;
        if (!parameter.defaultSource.isEmpty())
            declaration += u' ' + parameter.defaultSource;
        (parameter.output ? outputs : inputs) << declaration;
    }
    if (routine.function && outputs.size() != 1)
        return std::nullopt;
    QString statement = (routine.function ? QStringLiteral("CREATE FUNCTION ") : QStringLiteral("CREATE PROCEDURE "))
        + sqlName(routine.name, dialect);
    if (!inputs.isEmpty())
        statement += QStringLiteral(" (%1)").arg(inputs.join(QStringLiteral(", ")));
    if (routine.function)
        statement += QStringLiteral(" RETURNS ") + outputs.front()
            + (routine.deterministic ? QStringLiteral(" DETERMINISTIC") : QString());
    else if (!outputs.isEmpty())
        statement += QStringLiteral(" RETURNS (%1)").arg(outputs.join(QStringLiteral(", ")));
    return statement + QStringLiteral(" AS\n") + routine.source;
}

QString createPackageStatement(const QString &name, const QString &header, int dialect)
{
    return QStringLiteral("CREATE PACKAGE %1 AS\n%2").arg(sqlName(name, dialect), header);
}

QString createPackageBodyStatement(const QString &name, const QString &body, int dialect)
{
    return QStringLiteral("CREATE PACKAGE BODY %1 AS\n%2").arg(sqlName(name, dialect), body);
}

QString createExceptionStatement(const QString &name, const QString &message, int dialect)
{
    QString quoted = message;
    quoted.replace(u'\'', QStringLiteral("''"));
    return QStringLiteral("CREATE EXCEPTION %1 '%2'").arg(sqlName(name, dialect), quoted);
}

QString createGeneratorStatement(const QString &name, int dialect)
{
    return QStringLiteral("CREATE GENERATOR ") + sqlName(name, dialect);
}

QString setGeneratorStatement(const QString &name, qint64 value, int dialect)
{
    return QStringLiteral("SET GENERATOR %1 TO %2").arg(sqlName(name, dialect), QString::number(value));
}

} // namespace dbaccess

#pragma once

// The statements that rebuild a file's tables, computed columns and views,
// and the procedures, functions, packages, exceptions and generators they
// use, in a new database of the Firebird 3 engine. Pure, no Firebird headers.

#include "file_catalogue.h"
#include "ods/ods_database.h"

#include <QString>
#include <map>
#include <optional>

namespace dbaccess {

// A name as the statement's dialect writes it: quoted in dialect 3; bare in
// dialect 1, where a quoted name would be a string.
QString sqlName(const QString &name, int dialect);

// The declaration of a stored column ("NUMERIC(9,2)", "VARCHAR(20) CHARACTER
// SET WIN1252", "INTEGER [1:4]", ...); nullopt for a type this engine does
// not have. An array's column is its element's type with its dimensions;
// bounds: lower and upper by dimension, [1:1] where missing.
// charsetNames: the engine's character set names by number.
std::optional<QString> columnDeclaration(const ods::Column &column, int dialect,
                                         const std::map<int, QString> &charsetNames,
                                         const std::vector<std::pair<int, int>> &bounds = {});

QString createTableStatement(const ods::Relation &relation, const std::vector<QString> &declarations, int dialect);
QString computedColumnStatement(const ods::Relation &relation, const ods::Column &column, int dialect);
// The column as nulls of its type, where its expression cannot be made.
QString emptyComputedColumnStatement(const ods::Relation &relation, const ods::Column &column, const QString &declaration,
                                     int dialect);
QString columnPositionStatement(const ods::Relation &relation, const ods::Column &column, int position, int dialect);
// Empty when the file keeps no source text for the view.
QString createViewStatement(const ods::Relation &view, int dialect);
// CREATE PROCEDURE or CREATE FUNCTION; nullopt when a parameter has a type
// this engine does not have.
std::optional<QString> createRoutineStatement(const StoredRoutine &routine, int dialect,
                                              const std::map<int, QString> &charsetNames);
QString createPackageStatement(const QString &name, const QString &header, int dialect);
QString createPackageBodyStatement(const QString &name, const QString &body, int dialect);
QString createExceptionStatement(const QString &name, const QString &message, int dialect);
QString createGeneratorStatement(const QString &name, int dialect);
QString setGeneratorStatement(const QString &name, qint64 value, int dialect);

} // namespace dbaccess

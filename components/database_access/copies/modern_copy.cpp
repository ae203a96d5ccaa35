#include "modern_copy.h"

#include "component_error.h"
#include "modern_copy_builder.h"
#include "modern_copy_ddl.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <unistd.h>
#include <vector>

namespace dbaccess {

namespace {

constexpr int engineOds = 12;

QString cannotEvaluate(const QString &what, const QString &reason)
{
    return QStringLiteral("this program's Firebird engine cannot evaluate %1 (%2)").arg(what, reason);
}

struct Pending {
    QString relation;
    QString what; // "its computed column "X"", "its definition"
    QString statement;
    QString error;
};

std::map<QString, QString> build(const QString &file, const FileVersion &version, const ods::Database &database)
{
    const int dialect = database.facts().dialect == 1 ? 1 : 3;
    CopyBuilder builder(file, version, dialect);
    const std::map<int, QString> charsetNames = builder.charsetNames();
    std::map<QString, QString> failures;
    std::vector<Pending> pending;
    for (const auto &relation : database.relations()) {
        if (relation.system || relation.view)
            continue;
        std::vector<QString> declarations;
        QString unknown;
        for (const auto &column : relation.columns) {
            if (!column.computedSource.isEmpty())
                continue;
            const auto declaration = columnDeclaration(column, dialect, charsetNames);
            if (!declaration)
                unknown = QStringLiteral("the column \"%1\" has a type it does not know").arg(column.name);
            declarations.push_back(declaration.value_or(QString()));
        }
        QString error = unknown;
        if (error.isEmpty())
            error = builder.run(createTableStatement(relation, declarations, dialect), dialect);
        if (error.isEmpty()) {
            error = builder.copyRows(database, relation);
            // Left empty, the table would let the views and computed
            // columns that use it show nothing instead of failing.
            if (!error.isEmpty())
                builder.run(QStringLiteral("DROP TABLE %1").arg(sqlName(relation.name, dialect)), dialect);
        }
        if (!error.isEmpty()) {
            failures[relation.name] = cannotEvaluate(QStringLiteral("its stored columns"), error);
            continue;
        }
        for (const auto &column : relation.columns)
            if (!column.computedSource.isEmpty())
                pending.push_back({relation.name, QStringLiteral("its computed column \"%1\"").arg(column.name),
                                   computedColumnStatement(relation, column, dialect), {}});
    }
    for (const auto &relation : database.relations()) {
        if (relation.system || !relation.view)
            continue;
        const QString statement = createViewStatement(relation, dialect);
        if (statement.isEmpty())
            failures[relation.name] = QStringLiteral("the file keeps no source text for the view");
        else
            pending.push_back({relation.name, QStringLiteral("its definition"), statement, {}});
    }
    // Views and computed columns may use each other: run what can run until
    // a round makes no progress.
    for (bool progress = true; progress && !pending.empty();) {
        progress = false;
        for (auto item = pending.begin(); item != pending.end();) {
            item->error = failures.count(item->relation) ? failures[item->relation] : builder.run(item->statement, dialect);
            if (item->error.isEmpty()) {
                item = pending.erase(item);
                progress = true;
            } else {
                ++item;
            }
        }
    }
    for (const auto &item : pending)
        if (!failures.count(item.relation))
            failures[item.relation] = cannotEvaluate(item.what, item.error);
    // Computed columns come last from ALTER TABLE; SELECT * must keep the
    // file's order.
    for (const auto &relation : database.relations()) {
        if (relation.system || relation.view || failures.count(relation.name))
            continue;
        const bool computed = std::any_of(relation.columns.begin(), relation.columns.end(),
                                          [](const ods::Column &c) { return !c.computedSource.isEmpty(); });
        for (std::size_t i = 0; computed && i < relation.columns.size(); ++i) {
            const QString error = builder.run(columnPositionStatement(relation, relation.columns[i], int(i) + 1, dialect), dialect);
            if (!error.isEmpty())
                failures[relation.name] = cannotEvaluate(QStringLiteral("the order of its columns"), error);
        }
    }
    return failures;
}

QString failuresFile(const QString &copy)
{
    return copy + QStringLiteral(".failures.json");
}

} // namespace

ModernCopy modernCopy(const FileVersion &version, const ods::Database &database)
{
    if (database.facts().firebird && database.facts().odsMajor == engineOds)
        return {byteCopy(version), false, {}};
    return rebuiltCopy(version, database);
}

ModernCopy rebuiltCopy(const FileVersion &version, const ods::Database &database)
{
    const QString target = copyFileName(version, QStringLiteral("modern"));
    ModernCopy copy{target, true, {}};
    if (!QFileInfo::exists(target)) {
        dropOtherVersions(version);
        const QString partial = target + QStringLiteral(".part%1").arg(::getpid());
        QFile::remove(partial);
        copy.failures = build(partial, version, database);
        QJsonObject saved;
        for (const auto &[name, reason] : copy.failures)
            saved.insert(name, reason);
        QFile list(failuresFile(target));
        if (!list.open(QIODevice::WriteOnly) || list.write(QJsonDocument(saved).toJson()) < 0 || !list.flush()
            || !QFile::rename(partial, target)) {
            QFile::remove(partial);
            throw components::ComponentError(QStringLiteral("A private copy of \"%1\" for its views and computed columns "
                                                            "cannot be kept in \"%2\".").arg(version.path, copiesFolder()));
        }
        return copy;
    }
    QFile list(failuresFile(target));
    if (list.open(QIODevice::ReadOnly)) {
        const QJsonObject saved = QJsonDocument::fromJson(list.readAll()).object();
        for (auto entry = saved.begin(); entry != saved.end(); ++entry)
            copy.failures[entry.key()] = entry.value().toString();
    }
    return copy;
}

} // namespace dbaccess

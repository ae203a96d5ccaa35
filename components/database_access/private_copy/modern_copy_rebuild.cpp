#include "modern_copy_rebuild.h"

#include "file_catalogue.h"
#include "generator_values.h"
#include "modern_copy_builder.h"
#include "modern_copy_ddl.h"
#include "ods/read_losses_text.h"
#include "view_select_list.h"

#include <set>
#include <vector>

namespace dbaccess {

namespace {

QString cannotEvaluate(const QString &what, const QString &reason)
{
    return QStringLiteral("this program's Firebird engine cannot evaluate %1 (%2)").arg(what, reason);
}

// A statement that waits for what it uses: views, computed columns, stored
// procedures and functions may use each other in any order.
struct Pending {
    enum Kind { ComputedColumn, View, Routine } kind;
    QString owner;        // the relation, procedure or function
    QString column;       // of a computed column
    QString what;         // how a reason names it: "its definition", ...
    QString statement;
    // Tried when the statement fails: a view's text as written, or its
    // select list rebuilt from its base columns.
    QString alternative;
    bool alternativeOnAnyRefusal = false;
    EngineRefusal refusal;
};

class Rebuild {
public:
    Rebuild(const QString &file, const FileVersion &version, const ods::Database &database, BuildProgress &progress)
        : m_path(version.path), m_database(database), m_dialect(database.facts().dialect == 1 ? 1 : 3), m_builder(file, version, m_dialect),
          m_charsetNames(m_builder.charsetNames()), m_catalogue(readFileCatalogue(database)), m_progress(progress)
    {
    }

    RebuildReport run()
    {
        createTables();
        bringOverWhatViewsUse();
        queueViews();
        settle();
        emptyUnmadeComputedColumns();
        settle();
        reportUnmade();
        showEmptyColumnsInViews();
        showPartialTablesInViews();
        return m_report;
    }

private:
    void createTables()
    {
        for (const auto &relation : m_database.relations()) {
            if (relation.system || relation.view)
                continue;
            std::vector<QString> declarations;
            QString unknown;
            for (const auto &column : relation.columns) {
                if (!column.computedSource.isEmpty())
                    continue;
                const auto declaration = storedDeclaration(column);
                if (!declaration)
                    unknown = QStringLiteral("the column \"%1\" has a type it does not know").arg(column.name);
                declarations.push_back(declaration.value_or(QString()));
            }
            QString error = unknown;
            if (error.isEmpty())
                error = m_builder.run(createTableStatement(relation, declarations, m_dialect), m_dialect).text;
            if (error.isEmpty()) {
                ods::ReadLosses losses;
                error = m_builder.copyRows(m_database, relation, [this] { m_progress.advance(); }, losses);
                if (error.isEmpty() && losses.any())
                    m_report.partial[relation.name] = ods::readLossesText(relation.name, losses);
                // Left empty, the table would let the views and computed
                // columns that use it show nothing instead of failing.
                if (!error.isEmpty())
                    m_builder.run(QStringLiteral("DROP TABLE %1").arg(sqlName(relation.name, m_dialect)), m_dialect);
            }
            if (!error.isEmpty()) {
                m_report.failures[relation.name] = cannotEvaluate(QStringLiteral("its stored columns"), error);
                continue;
            }
            for (const auto &column : relation.columns) {
                if (column.computedSource.isEmpty())
                    continue;
                m_pending.push_back({Pending::ComputedColumn, relation.name, column.name,
                                     QStringLiteral("its computed column \"%1\"").arg(column.name),
                                     computedColumnStatement(relation, column, m_dialect), {}, false, {}});
                ++m_computedToAdd[relation.name];
            }
        }
    }

    // An array column keeps its place and type but not its values: no
    // statement can write an array, and the export writes the same binary
    // placeholder for one whatever it holds. Where its element type is
    // unknown, a binary BLOB holds the place.
    std::optional<QString> storedDeclaration(const ods::Column &column) const
    {
        if (column.dimensions == 0)
            return columnDeclaration(column, m_dialect, m_charsetNames);
        const auto element = m_catalogue.fieldTypes.find(column.domain);
        const auto bounds = m_catalogue.fieldBounds.find(column.domain);
        std::optional<QString> declaration;
        if (element != m_catalogue.fieldTypes.end() && element->second.dimensions > 0)
            declaration = columnDeclaration(element->second, m_dialect, m_charsetNames,
                                            bounds == m_catalogue.fieldBounds.end() ? std::vector<std::pair<int, int>>()
                                                                                    : bounds->second);
        return declaration.value_or(QStringLiteral("BLOB SUB_TYPE 0"));
    }

    // The stored procedures, PSQL functions and packages the views and
    // computed columns use, those they call, and the exceptions and
    // generators (with their values) those use. External functions stay
    // out: their libraries are not this program's to load.
    void bringOverWhatViewsUse()
    {
        std::vector<QString> users;
        for (const auto &relation : m_database.relations()) {
            if (relation.system)
                continue;
            if (relation.view)
                users.push_back(relation.name);
            for (const auto &column : relation.columns)
                if (!column.computedSource.isEmpty())
                    users.push_back(column.domain);
        }
        const UsedObjects used = usedBy(m_catalogue, users);
        for (const QString &name : used.exceptions) {
            const auto message = m_catalogue.exceptions.find(name);
            if (message != m_catalogue.exceptions.end())
                m_builder.run(createExceptionStatement(name, message->second, m_dialect), m_dialect);
        }
        const std::map<int, qint64> values =
            used.generators.empty() ? std::map<int, qint64>() : generatorValues(m_path, m_database);
        for (const QString &name : used.generators) {
            const auto id = m_catalogue.generators.find(name);
            if (id == m_catalogue.generators.end()
                || m_builder.run(createGeneratorStatement(name, m_dialect), m_dialect).refused())
                continue;
            if (const auto value = values.find(id->second); value != values.end())
                m_builder.run(setGeneratorStatement(name, value->second, m_dialect), m_dialect);
        }
        for (const QString &name : used.routines)
            queueRoutine(name);
        for (const QString &name : used.packages)
            queuePackage(name);
    }

    void queuePackage(const QString &name)
    {
        const QString what = QStringLiteral("the package \"%1\"").arg(name);
        const auto package = m_catalogue.packages.find(name);
        if (package == m_catalogue.packages.end() || package->second.header.trimmed().isEmpty()
            || package->second.body.trimmed().isEmpty()) {
            m_unmadeRoutines[name] = QStringLiteral("the file keeps no source text for %1").arg(what);
            return;
        }
        m_pending.push_back({Pending::Routine, name, {}, what,
                             createPackageStatement(name, package->second.header, m_dialect), {}, false, {}});
        m_pending.push_back({Pending::Routine, name, {}, what,
                             createPackageBodyStatement(name, package->second.body, m_dialect), {}, false, {}});
    }

    void queueRoutine(const QString &name)
    {
        const StoredRoutine *routine = m_catalogue.routine(name);
        const QString what = routine && routine->function ? QStringLiteral("the function \"%1\"").arg(name)
                                                          : QStringLiteral("the stored procedure \"%1\"").arg(name);
        const auto statement = routine && !routine->source.trimmed().isEmpty()
            ? createRoutineStatement(*routine, m_dialect, m_charsetNames) : std::nullopt;
        // External procedures (and damaged entries) have no source to make.
        if (!routine || routine->source.trimmed().isEmpty())
            m_unmadeRoutines[name] = QStringLiteral("the file keeps no source text for %1").arg(what);
        else if (!statement)
            m_unmadeRoutines[name] =
                QStringLiteral("a parameter of %1 has a type this program's Firebird engine does not have").arg(what);
        else
            m_pending.push_back({Pending::Routine, name, {}, what, *statement, {}, false, {}});
    }

    void queueViews()
    {
        for (const auto &view : m_database.relations()) {
            if (view.system || !view.view)
                continue;
            const QString written = createViewStatement(view, m_dialect);
            if (written.isEmpty()) {
                m_report.failures[view.name] = QStringLiteral("the file keeps no source text for the view");
                continue;
            }
            const QString rebuilt = selectFromBaseColumns(view, m_catalogue.viewContexts[view.name],
                                                          m_catalogue.viewColumnBases[view.name], m_dialect);
            const auto select = outerSelectList(view.viewSource);
            Pending pending{Pending::View, view.name, {}, QStringLiteral("its definition"), written, rebuilt, false, {}};
            if (select && select->star && !rebuilt.isEmpty()) {
                std::swap(pending.statement, pending.alternative);
                pending.alternativeOnAnyRefusal = true;
            }
            m_pending.push_back(pending);
        }
    }

    // Runs what can run until a round makes no progress.
    void settle()
    {
        for (bool progress = true; progress && !m_pending.empty();) {
            progress = false;
            for (auto item = m_pending.begin(); item != m_pending.end();) {
                if (runPending(*item)) {
                    if (item->kind != Pending::Routine)
                        m_progress.advance();
                    if (item->kind == Pending::ComputedColumn)
                        computedColumnAdded(item->owner);
                    item = m_pending.erase(item);
                    progress = true;
                } else {
                    ++item;
                }
            }
        }
    }

    bool runPending(Pending &item)
    {
        item.refusal = m_builder.run(item.statement, m_dialect);
        if (!item.refusal.refused())
            return true;
        if (!item.alternative.isEmpty()
            && (item.alternativeOnAnyRefusal || item.refusal.kind == EngineRefusal::ColumnCount))
            return !m_builder.run(item.alternative, m_dialect).refused();
        return false;
    }

    // A computed column whose expression cannot be made costs only itself:
    // the table reads with that column empty, and says so.
    void emptyUnmadeComputedColumns()
    {
        for (auto item = m_pending.begin(); item != m_pending.end();) {
            const ods::Relation *relation = item->kind == Pending::ComputedColumn ? relationNamed(item->owner) : nullptr;
            const ods::Column *column = nullptr;
            for (std::size_t i = 0; relation && i < relation->columns.size(); ++i)
                if (relation->columns[i].name == item->column)
                    column = &relation->columns[i];
            const auto declaration = column ? columnDeclaration(*column, m_dialect, m_charsetNames) : std::nullopt;
            if (declaration
                && !m_builder.run(emptyComputedColumnStatement(*relation, *column, *declaration, m_dialect), m_dialect)
                        .refused()) {
                m_report.emptyColumns[item->owner][item->column] =
                    refusalReason(QStringLiteral("its expression"), item->refusal, explainer());
                m_progress.advance();
                computedColumnAdded(item->owner);
                item = m_pending.erase(item);
            } else {
                ++item;
            }
        }
    }

    // One reason a relation or routine: the first of its statements that
    // failed.
    // Twice, as a reason may name another view or routine the copy lacks.
    void reportUnmade()
    {
        const std::map<QString, QString> known = m_report.failures;
        for (int pass = 0; pass < 2; ++pass) {
            std::set<QString> named;
            for (const auto &item : m_pending) {
                if (known.count(item.owner) || !named.insert(item.owner).second)
                    continue;
                const QString reason = refusalReason(item.what, item.refusal, explainer());
                (item.kind == Pending::Routine ? m_unmadeRoutines : m_report.failures)[item.owner] = reason;
            }
        }
    }

    // A view column showing an emptied computed column is empty too, and says
    // why; through views of views as well.
    void showEmptyColumnsInViews()
    {
        for (bool more = true; more;) {
            more = false;
            for (const auto &[view, bases] : m_catalogue.viewColumnBases) {
                if (m_report.failures.count(view))
                    continue;
                for (const auto &[column, base] : bases) {
                    const auto context = m_catalogue.viewContexts[view].find(base.context);
                    if (context == m_catalogue.viewContexts[view].end())
                        continue;
                    const auto emptied = m_report.emptyColumns.find(context->second.relation);
                    if (emptied == m_report.emptyColumns.end() || !emptied->second.count(base.field)
                        || m_report.emptyColumns[view].count(column))
                        continue;
                    m_report.emptyColumns[view][column] =
                        QStringLiteral("it shows the column \"%1\" of \"%2\", which cannot be computed: %3")
                            .arg(base.field, context->second.relation, emptied->second.at(base.field));
                    more = true;
                }
            }
        }
        std::erase_if(m_report.emptyColumns, [](const auto &entry) { return entry.second.empty(); });
    }

    // A view over the readable part of a damaged table would look whole:
    // it says whose records it lacks; through views of views as well.
    void showPartialTablesInViews()
    {
        for (bool more = true; more;) {
            more = false;
            for (const auto &[view, contexts] : m_catalogue.viewContexts) {
                if (m_report.partial.count(view) || m_report.failures.count(view))
                    continue;
                for (const auto &[number, context] : contexts) {
                    if (!m_report.partial.count(context.relation))
                        continue;
                    m_report.partial[view] =
                        QStringLiteral("The view \"%1\" shows only what could be read of \"%2\", which is damaged "
                                       "in the database file: some of its records are missing.")
                            .arg(view, context.relation);
                    more = true;
                    break;
                }
            }
        }
    }

    // Computed columns come last from ALTER TABLE; SELECT * must keep the
    // file's order, and so must a view whose text says "*": the order is
    // put right as soon as the last of them is there, before any view made
    // later reads the table.
    void computedColumnAdded(const QString &name)
    {
        if (--m_computedToAdd[name] > 0)
            return;
        const ods::Relation &relation = *relationNamed(name);
        for (std::size_t i = 0; i < relation.columns.size(); ++i) {
            const EngineRefusal refusal =
                m_builder.run(columnPositionStatement(relation, relation.columns[i], int(i) + 1, m_dialect), m_dialect);
            if (refusal.refused())
                m_report.failures[relation.name] = cannotEvaluate(QStringLiteral("the order of its columns"), refusal.text);
        }
    }

    // Why a name the engine did not know is missing from the copy.
    NameExplanation explainer() const
    {
        return [this](const QString &name) {
            KnownName known;
            if (const auto failed = m_report.failures.find(name); failed != m_report.failures.end())
                known.whyUnmade = failed->second;
            else if (const auto unmade = m_unmadeRoutines.find(name); unmade != m_unmadeRoutines.end())
                known.whyUnmade = unmade->second;
            if (const auto function = m_catalogue.externalFunctions.find(name); function != m_catalogue.externalFunctions.end())
                known.library = function->second;
            return known;
        };
    }

    const ods::Relation *relationNamed(const QString &name) const
    {
        for (const auto &relation : m_database.relations())
            if (relation.name == name)
                return &relation;
        return nullptr;
    }

    const QString m_path;
    const ods::Database &m_database;
    const int m_dialect;
    CopyBuilder m_builder;
    const std::map<int, QString> m_charsetNames;
    FileCatalogue m_catalogue;
    std::vector<Pending> m_pending;
    std::map<QString, QString> m_unmadeRoutines;
    std::map<QString, int> m_computedToAdd; // by table
    RebuildReport m_report;
    BuildProgress &m_progress;
};

} // namespace

RebuildReport rebuild(const QString &file, const FileVersion &version, const ods::Database &database,
                      BuildProgress &progress)
{
    return Rebuild(file, version, database, progress).run();
}

} // namespace dbaccess

#include "modern_copy.h"

#include "cache_folder.h"
#include "component_error.h"
#include "copy_lock.h"
#include "modern_copy_builder.h"
#include "modern_copy_ddl.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <vector>

namespace dbaccess {

namespace {

constexpr int engineOds = 12;

QString cannotEvaluate(const QString &what, const QString &reason)
{
    return QStringLiteral("this program's Firebird engine cannot evaluate %1 (%2)").arg(what, reason);
}

// Passes reports on, and says "prepared" once at its end when it passed any.
class Reporter : public ado::PreparationProgress {
public:
    explicit Reporter(ado::PreparationProgress *progress) : m_progress(progress) {}
    ~Reporter() override
    {
        if (m_reported)
            m_progress->prepared();
    }
    Reporter(const Reporter &) = delete;
    Reporter &operator=(const Reporter &) = delete;

    void preparing(const QString &database, int percent) override
    {
        if (!m_progress)
            return;
        m_reported = true;
        m_progress->preparing(database, percent);
    }
    void prepared() override {}

private:
    ado::PreparationProgress *m_progress;
    bool m_reported = false;
};

// How far the making of a copy has come, counted in rows copied and
// statements run, for the window and for the programs waiting for the copy.
class BuildProgress {
public:
    BuildProgress(Reporter &reporter, CopyLock &lock, QString database, long long units)
        : m_reporter(reporter), m_lock(lock), m_database(std::move(database)), m_units(std::max(units, 1LL))
    {
        m_sinceShown.start();
        show(0);
    }

    void finish() { show(100); }

    void advance()
    {
        ++m_done;
        const int percent = int(std::min(m_done, m_units) * 100 / m_units);
        // Often enough for the window to stay responsive on a slow table.
        if (percent != m_shown || m_sinceShown.elapsed() >= 100)
            show(percent);
    }

private:
    void show(int percent)
    {
        if (percent != m_shown)
            m_lock.publish(percent);
        m_shown = percent;
        m_reporter.preparing(m_database, percent);
        m_sinceShown.restart();
    }

    Reporter &m_reporter;
    CopyLock &m_lock;
    const QString m_database;
    const long long m_units;
    long long m_done = 0;
    int m_shown = -1;
    QElapsedTimer m_sinceShown;
};

long long copyUnits(const ods::Database &database)
{
    long long units = 0;
    for (const auto &relation : database.relations()) {
        if (relation.system)
            continue;
        units += relation.view ? 1 : database.count(relation);
        for (const auto &column : relation.columns)
            units += !column.computedSource.isEmpty();
    }
    return units;
}

struct Pending {
    QString relation;
    QString what; // "its computed column "X"", "its definition"
    QString statement;
    QString error;
};

std::map<QString, QString> build(const QString &file, const FileVersion &version, const ods::Database &database,
                                  BuildProgress &building)
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
        if (error.isEmpty())
            error = builder.copyRows(database, relation, [&building] { building.advance(); });
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
                building.advance();
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

ModernCopy made(const QString &target, const FileVersion &version, const ods::Database &database, Reporter &reporter,
                CopyLock &lock)
{
    dropOtherVersions(version);
    makeRoomFor(QFileInfo(target).path(), version.size, version.path);
    const QString partial = partialName(target);
    QFile::remove(partial);
    BuildProgress building(reporter, lock, version.path, copyUnits(database));
    ModernCopy copy{target, true, {}};
    try {
        copy.failures = build(partial, version, database, building);
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    building.finish();
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
    copy.path = attachableCopy(target);
    return copy;
}

} // namespace

ModernCopy modernCopy(const FileVersion &version, const ods::Database &database, ado::PreparationProgress *progress)
{
    if (database.facts().firebird && database.facts().odsMajor == engineOds)
        return {byteCopy(version), false, {}};
    return rebuiltCopy(version, database, progress);
}

ModernCopy rebuiltCopy(const FileVersion &version, const ods::Database &database, ado::PreparationProgress *progress)
{
    const QString target = copyFileName(version, QStringLiteral("modern"));
    Reporter reporter(progress);
    markInUse(target);
    if (!QFileInfo::exists(target)) {
        CopyLock lock(target + QStringLiteral(".lock"), progress ? &reporter : nullptr, version.path);
        if (!QFileInfo::exists(target))
            return made(target, version, database, reporter, lock);
        // Made by another program while this one waited.
        reporter.preparing(version.path, 100);
    }
    ModernCopy copy{attachableCopy(target), true, {}};
    QFile list(failuresFile(target));
    if (list.open(QIODevice::ReadOnly)) {
        const QJsonObject saved = QJsonDocument::fromJson(list.readAll()).object();
        for (auto entry = saved.begin(); entry != saved.end(); ++entry)
            copy.failures[entry.key()] = entry.value().toString();
    }
    return copy;
}

} // namespace dbaccess

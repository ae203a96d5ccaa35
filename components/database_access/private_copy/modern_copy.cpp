#include "modern_copy.h"

#include "build_progress.h"
#include "cache_folder.h"
#include "component_error.h"
#include "copy_lock.h"
#include "durable_rename.h"
#include "modern_copy_rebuild.h"
#include "one_file_copy.h"
#include "ods/system_table.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <limits>

namespace dbaccess {

namespace {

constexpr int engineOds = 12;

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

QString failuresFile(const QString &copy)
{
    return copy + QStringLiteral(".failures.json");
}

QByteArray savedReport(const ModernCopy &copy)
{
    QJsonObject failures, emptyColumns, partial;
    for (const auto &[name, reason] : copy.failures)
        failures.insert(name, reason);
    for (const auto &[name, said] : copy.partial)
        partial.insert(name, said);
    for (const auto &[name, columns] : copy.emptyColumns) {
        QJsonObject reasons;
        for (const auto &[column, reason] : columns)
            reasons.insert(column, reason);
        emptyColumns.insert(name, reasons);
    }
    const QJsonObject saved{{QStringLiteral("failures"), failures},
                            {QStringLiteral("emptyColumns"), emptyColumns},
                            {QStringLiteral("partial"), partial},
                            {QStringLiteral("size"), double(QFileInfo(copy.path).size())}};
    return QJsonDocument(saved).toJson();
}

qint64 savedSize(const QString &target)
{
    QFile list(failuresFile(target));
    if (!list.open(QIODevice::ReadOnly))
        return std::numeric_limits<qint64>::max();
    const QJsonValue size = QJsonDocument::fromJson(list.readAll()).object().value(QStringLiteral("size"));
    return size.isDouble() ? qint64(size.toDouble()) : std::numeric_limits<qint64>::max();
}

void readReport(const QString &target, ModernCopy &copy)
{
    QFile list(failuresFile(target));
    if (!list.open(QIODevice::ReadOnly))
        return;
    const QJsonObject saved = QJsonDocument::fromJson(list.readAll()).object();
    const QJsonObject failures = saved.value(QStringLiteral("failures")).toObject();
    for (auto entry = failures.begin(); entry != failures.end(); ++entry)
        copy.failures[entry.key()] = entry.value().toString();
    const QJsonObject partial = saved.value(QStringLiteral("partial")).toObject();
    for (auto entry = partial.begin(); entry != partial.end(); ++entry)
        copy.partial[entry.key()] = entry.value().toString();
    const QJsonObject emptyColumns = saved.value(QStringLiteral("emptyColumns")).toObject();
    for (auto relation = emptyColumns.begin(); relation != emptyColumns.end(); ++relation) {
        const QJsonObject columns = relation->toObject();
        for (auto column = columns.begin(); column != columns.end(); ++column)
            copy.emptyColumns[relation.key()][column.key()] = column.value().toString();
    }
}

ModernCopy made(const QString &target, const FileVersion &version, const ods::Database &database, Reporter &reporter,
                CopyLock &lock)
{
    dropOtherVersions(version);
    makeRoomFor(QFileInfo(target).path(), version.size, version.path);
    const QString partial = partialName(target);
    QFile::remove(partial);
    BuildProgress building(reporter, lock, version.path, copyUnits(database));
    ModernCopy copy{partial, true, {}, {}, {}};
    try {
        RebuildReport report = rebuild(partial, version, database, building);
        copy.failures = std::move(report.failures);
        copy.emptyColumns = std::move(report.emptyColumns);
        copy.partial = std::move(report.partial);
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    building.finish();
    // Rebuilt over minutes from a file another program may write: a copy
    // read across a change would mix two states, and filed under either
    // key it would be believed for good.
    const FileVersion after = inspectLocalFile(version.path, HeldFile::Read);
    if (after.size != version.size || after.modifiedNs != version.modifiedNs || after.headerDigest != version.headerDigest) {
        QFile::remove(partial);
        throw components::ComponentError(QStringLiteral("The database file \"%1\" changed while its private copy "
                                                        "for views and computed columns was being made. Export "
                                                        "again when the program that writes it is done.")
                                             .arg(version.path));
    }
    // The list first: a copy without its list would pass for one that
    // lacks nothing.
    QSaveFile list(failuresFile(target));
    if (!list.open(QIODevice::WriteOnly) || list.write(savedReport(copy)) < 0 || !list.commit()
        || components::renameDurably(partial, target) != 0) {
        QFile::remove(failuresFile(target));
        QFile::remove(partial);
        throw components::ComponentError(QStringLiteral("A private copy of \"%1\" for its views and computed columns "
                                                        "cannot be kept in \"%2\".").arg(version.path, copiesFolder()));
    }
    copy.path = attachableCopy(target);
    return copy;
}

// The engine opens the shadows a database defines whenever it attaches it:
// one gone from where it was made fails the attachment, one it accepts it
// would write to. A rebuilt copy defines none.
bool definesShadows(const ods::Database &database)
{
    try {
        ods::SystemTable files(database, QStringLiteral("RDB$FILES"));
        while (files.next())
            if (files.number("RDB$SHADOW_NUMBER").value_or(0) != 0)
                return true;
    } catch (const components::ComponentError &) {
        return true;
    }
    return false;
}

} // namespace

bool copyHoldsItsPages(const ods::Database &database)
{
    // With a file missing, the engine has only what the reader reads.
    return database.facts().firebird && database.facts().odsMajor == engineOds &&
           !database.files().back().path.isEmpty() && !definesShadows(database);
}

ModernCopy modernCopy(const FileVersion &version, const ods::Database &database, ado::PreparationProgress *progress)
{
    const std::vector<ods::DatabaseFile> &files = database.files();
    if (!copyHoldsItsPages(database))
        return rebuiltCopy(version, database, progress);
    if (files.size() == 1)
        return {byteCopy(version), false, {}, {}, {}};
    return {oneFileCopy(version, files, database.facts().pageSize), false, {}, {}, {}};
}

ModernCopy rebuiltCopy(const FileVersion &version, const ods::Database &database, ado::PreparationProgress *progress)
{
    const QString target = copyFileName(version, QStringLiteral("rebuilt") + continuationsKey(database.files()));
    Reporter reporter(progress);
    // A copy without its list, or shorter than the list says, was cut by a
    // power cut or a full disk after its rename: made again.
    if (QFileInfo::exists(target) && !copyLooksWhole(target, savedSize(target)))
        discardCopy(target);
    markInUse(target);
    if (!QFileInfo::exists(target)) {
        CopyLock lock(target + QStringLiteral(".lock"), progress ? &reporter : nullptr, version.path);
        if (!QFileInfo::exists(target))
            return made(target, version, database, reporter, lock);
        // Made by another program while this one waited.
        reporter.preparing(version.path, 100);
    }
    ModernCopy copy{attachableCopy(target), true, {}, {}, {}};
    readReport(target, copy);
    return copy;
}

} // namespace dbaccess

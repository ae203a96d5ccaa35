#include "modern_copy.h"

#include "component_error.h"
#include "modern_copy_rebuild.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <unistd.h>

namespace dbaccess {

namespace {

constexpr int engineOds = 12;

QString failuresFile(const QString &copy)
{
    return copy + QStringLiteral(".failures.json");
}

} // namespace

ModernCopy modernCopy(const FileVersion &version, const ods::Database &database)
{
    if (database.facts().firebird && database.facts().odsMajor == engineOds)
        return {byteCopy(version), false, {}, {}};
    return rebuiltCopy(version, database);
}

ModernCopy rebuiltCopy(const FileVersion &version, const ods::Database &database)
{
    const QString target = copyFileName(version, QStringLiteral("rebuilt"));
    ModernCopy copy{target, true, {}, {}};
    if (!QFileInfo::exists(target)) {
        dropOtherVersions(version);
        const QString partial = target + QStringLiteral(".part%1").arg(::getpid());
        QFile::remove(partial);
        RebuildReport report = rebuild(partial, version, database);
        copy.failures = std::move(report.failures);
        copy.emptyColumns = std::move(report.emptyColumns);
        QJsonObject failures, emptyColumns;
        for (const auto &[name, reason] : copy.failures)
            failures.insert(name, reason);
        for (const auto &[name, columns] : copy.emptyColumns) {
            QJsonObject reasons;
            for (const auto &[column, reason] : columns)
                reasons.insert(column, reason);
            emptyColumns.insert(name, reasons);
        }
        const QJsonObject saved{{QStringLiteral("failures"), failures}, {QStringLiteral("emptyColumns"), emptyColumns}};
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
        const QJsonObject failures = saved.value(QStringLiteral("failures")).toObject();
        for (auto entry = failures.begin(); entry != failures.end(); ++entry)
            copy.failures[entry.key()] = entry.value().toString();
        const QJsonObject emptyColumns = saved.value(QStringLiteral("emptyColumns")).toObject();
        for (auto relation = emptyColumns.begin(); relation != emptyColumns.end(); ++relation) {
            const QJsonObject columns = relation->toObject();
            for (auto column = columns.begin(); column != columns.end(); ++column)
                copy.emptyColumns[relation.key()][column.key()] = column.value().toString();
        }
    }
    return copy;
}

} // namespace dbaccess

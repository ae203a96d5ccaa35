#include "one_file_copy.h"

#include "ods/ods_database.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace dbaccess {

QString oneFileCopy(const FileVersion &version, const std::vector<ods::DatabaseFile> &files, unsigned pageSize)
{
    std::vector<CopyPiece> pieces;
    for (size_t i = 0; i < files.size(); ++i) {
        const ods::DatabaseFile &file = files[i];
        const bool last = i + 1 == files.size();
        // A continuation's first page is its own header, no page of the database.
        pieces.push_back(CopyPiece{i == 0 ? version.path : file.path, i == 0 ? 0 : qint64(pageSize),
                                   last ? -1 : (qint64(file.lastPage) - file.firstPage + 1) * pageSize});
    }
    return piecewiseCopy(version, QStringLiteral("whole") + continuationsKey(files), pieces,
                         FirstPageChange{qsizetype(pageSize), ods::withoutNextFile});
}

QString continuationsKey(const std::vector<ods::DatabaseFile> &files)
{
    if (files.size() < 2)
        return {};
    QByteArray state;
    for (size_t i = 1; i < files.size(); ++i) {
        const QFileInfo file(files[i].path);
        state += QFile::encodeName(files[i].path) + '/' + QByteArray::number(file.size()) + '/'
            + QByteArray::number(file.lastModified().toMSecsSinceEpoch()) + '\n';
    }
    return u'-' + QString::fromLatin1(QCryptographicHash::hash(state, QCryptographicHash::Sha256).toHex().left(12));
}

} // namespace dbaccess

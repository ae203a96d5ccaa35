#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QString>

// The SHA-256 of a file's bytes, read in pieces, so that tests can tell a
// file came out unchanged without holding it; empty when it cannot be read.
inline QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

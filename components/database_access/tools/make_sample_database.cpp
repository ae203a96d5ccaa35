// make_sample_database <script.sql> <database.fdb>
// Creates the sample database from our SQL script through the embedded
// engine and marks it read-only, so it opens from a read-only install.

#include "firebird_client.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <ibase.h>

using namespace Firebird;

namespace {

const char *const sampleUser = "SYSDBA";
const char *const samplePassword = "lanternox";

// Statements end with ";" at the end of a line; "--" lines are comments.
QStringList statementsOf(const QString &script)
{
    QStringList statements;
    QString current;
    for (const QString &line : script.split(u'\n')) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            current = current.trimmed();
            current.chop(1);
            statements << current;
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

QByteArray parameters(ThrowStatusWrapper &status, bool create, bool readOnly)
{
    IXpbBuilder *dpb = dbaccess::firebirdMaster()->getUtilInterface()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, sampleUser);
    dpb->insertString(&status, isc_dpb_password, samplePassword);
    dpb->insertString(&status, isc_dpb_lc_ctype, "UTF8");
    dpb->insertString(&status, isc_dpb_config, "Providers=Engine12");
    if (create) {
        dpb->insertInt(&status, isc_dpb_page_size, 8192);
        dpb->insertInt(&status, isc_dpb_sql_dialect, 3);
        dpb->insertString(&status, isc_dpb_set_db_charset, "UTF8");
    }
    if (readOnly)
        dpb->insertInt(&status, isc_dpb_set_db_readonly, 1);
    const QByteArray bytes(reinterpret_cast<const char *>(dpb->getBuffer(&status)), int(dpb->getBufferLength(&status)));
    dpb->dispose();
    return bytes;
}

void build(const QStringList &statements, const QByteArray &path)
{
    IMaster *master = dbaccess::firebirdMaster();
    ThrowStatusWrapper status(master->getStatus());
    IProvider *provider = master->getDispatcher();

    QByteArray dpb = parameters(status, true, false);
    IAttachment *attachment = provider->createDatabase(&status, path.constData(), unsigned(dpb.size()),
                                                       reinterpret_cast<const unsigned char *>(dpb.constData()));
    for (const QString &statement : statements) {
        ITransaction *transaction = attachment->startTransaction(&status, 0, nullptr);
        try {
            attachment->execute(&status, transaction, 0, statement.toUtf8().constData(), 3, nullptr, nullptr, nullptr, nullptr);
        } catch (const FbException &) {
            std::fprintf(stderr, "In the statement:\n%s\n", qPrintable(statement));
            throw;
        }
        transaction->commit(&status);
    }
    attachment->detach(&status);

    // Read-only can only be set with no other attachment: in a new one.
    dpb = parameters(status, false, true);
    attachment = provider->attachDatabase(&status, path.constData(), unsigned(dpb.size()),
                                          reinterpret_cast<const unsigned char *>(dpb.constData()));
    attachment->detach(&status);
    provider->release();
    status.dispose();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <script.sql> <database.fdb>\n", argv[0]);
        return 2;
    }
    QFile script(QString::fromLocal8Bit(argv[1]));
    if (!script.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Cannot read %s\n", argv[1]);
        return 1;
    }
    const QString target = QString::fromLocal8Bit(argv[2]);
    if (QFile::exists(target)) {
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(target);
    }
    try {
        build(statementsOf(QString::fromUtf8(script.readAll())), target.toLocal8Bit());
    } catch (const FbException &error) {
        char text[2048] = {};
        dbaccess::firebirdMaster()->getUtilInterface()->formatStatus(text, sizeof text - 1, error.getStatus());
        std::fprintf(stderr, "Building the sample database failed:\n%s\n", text);
        QFile::remove(target);
        return 1;
    }
    QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    return 0;
}

#include "modern_copy_builder.h"

#include "component_error.h"
#include "firebird_client.h"
#include "modern_copy_ddl.h"

#include <QStringList>
#include <algorithm>
#include <cstring>
#include <ibase.h>
#include <vector>

namespace dbaccess {

using namespace Firebird;

CopyBuilder::CopyBuilder(const QString &file, const FileVersion &version, int dialect)
    : m_status(firebirdMaster()->getStatus())
{
    IXpbBuilder *dpb = firebirdMaster()->getUtilInterface()->getXpbBuilder(&m_status, IXpbBuilder::DPB, nullptr, 0);
    dpb->insertTag(&m_status, isc_dpb_utf8_filename);
    dpb->insertString(&m_status, isc_dpb_user_name, "SYSDBA");
    dpb->insertString(&m_status, isc_dpb_lc_ctype, "NONE");
    dpb->insertInt(&m_status, isc_dpb_sql_dialect, dialect);
    dpb->insertInt(&m_status, isc_dpb_force_write, 0);
    dpb->insertString(&m_status, isc_dpb_config, "Providers=Engine12");
    IProvider *provider = firebirdMaster()->getDispatcher();
    try {
        m_attachment = provider->createDatabase(&m_status, file.toUtf8().constData(), dpb->getBufferLength(&m_status),
                                                dpb->getBuffer(&m_status));
    } catch (const FbException &error) {
        provider->release();
        dpb->dispose();
        throw components::ComponentError(
            QStringLiteral("A private copy of \"%1\" for its views and computed columns cannot be made: %2")
                .arg(version.path, errorText(error.getStatus())));
    }
    provider->release();
    dpb->dispose();
}

CopyBuilder::~CopyBuilder()
{
    if (m_attachment) {
        CheckStatusWrapper status(firebirdMaster()->getStatus());
        m_attachment->detach(&status);
        if (status.getState() & IStatus::STATE_ERRORS)
            m_attachment->release();
        status.dispose();
    }
    m_status.dispose();
}

EngineRefusal CopyBuilder::run(const QString &sql, int dialect)
{
    try {
        ITransaction *transaction = m_attachment->startTransaction(&m_status, 0, nullptr);
        try {
            m_attachment->execute(&m_status, transaction, 0, sql.toUtf8().constData(), unsigned(dialect), nullptr,
                                  nullptr, nullptr, nullptr);
            transaction->commit(&m_status);
        } catch (const FbException &) {
            CheckStatusWrapper status(firebirdMaster()->getStatus());
            transaction->rollback(&status);
            status.dispose();
            throw;
        }
    } catch (const FbException &error) {
        return refusal(error.getStatus());
    }
    return {};
}

std::map<int, QString> CopyBuilder::charsetNames()
{
    std::map<int, QString> names;
    ITransaction *transaction = m_attachment->startTransaction(&m_status, 0, nullptr);
    IStatement *statement = m_attachment->prepare(
        &m_status, transaction, 0,
        "SELECT RDB$CHARACTER_SET_ID, TRIM(RDB$CHARACTER_SET_NAME) FROM RDB$CHARACTER_SETS", 3, 0);
    IMessageMetadata *output = statement->getOutputMetadata(&m_status);
    std::vector<unsigned char> row(output->getMessageLength(&m_status));
    IResultSet *cursor = statement->openCursor(&m_status, transaction, nullptr, nullptr, output, 0);
    while (cursor->fetchNext(&m_status, row.data()) == IStatus::RESULT_OK) {
        short id;
        std::memcpy(&id, row.data() + output->getOffset(&m_status, 0), sizeof id);
        unsigned short length;
        const unsigned char *name = row.data() + output->getOffset(&m_status, 1);
        std::memcpy(&length, name, sizeof length);
        names[id] = QString::fromUtf8(reinterpret_cast<const char *>(name + 2), length);
    }
    cursor->close(&m_status);
    statement->free(&m_status);
    output->release();
    transaction->commit(&m_status);
    return names;
}

QString CopyBuilder::copyRows(const ods::Database &database, const ods::Relation &relation,
                              const std::function<void()> &rowCopied, ods::ReadLosses &losses)
{
    std::vector<int> stored;
    QStringList names, marks;
    for (std::size_t i = 0; i < relation.columns.size(); ++i)
        if (relation.columns[i].computedSource.isEmpty() && relation.columns[i].dimensions == 0) {
            stored.push_back(int(i));
            names << sqlName(relation.columns[i].name, 3);
            marks << QStringLiteral("?");
        }
    if (stored.empty())
        return {};
    const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(sqlName(relation.name, 3), names.join(u','), marks.join(u','));
    ITransaction *transaction = nullptr;
    IStatement *statement = nullptr;
    IMessageMetadata *input = nullptr;
    try {
        transaction = m_attachment->startTransaction(&m_status, 0, nullptr);
        statement = m_attachment->prepare(&m_status, transaction, 0, insert.toUtf8().constData(), 3, 0);
        input = statement->getInputMetadata(&m_status);
        std::vector<unsigned char> message(input->getMessageLength(&m_status));
        const auto rows = database.rows(relation);
        while (rows->next()) {
            std::fill(message.begin(), message.end(), 0);
            for (unsigned p = 0; p < stored.size(); ++p)
                fill(database, relation, *rows, stored[p], input, p, message.data(), transaction);
            statement->execute(&m_status, transaction, input, message.data(), nullptr, nullptr);
            rowCopied();
        }
        losses = rows->losses();
        input->release();
        statement->free(&m_status);
        transaction->commit(&m_status);
    } catch (const FbException &error) {
        const QString text = errorText(error.getStatus());
        release(input, statement, transaction);
        return text;
    } catch (const components::ComponentError &error) {
        // The file's rows, not the copy, failed: this table is lost, the
        // others still go into the copy.
        release(input, statement, transaction);
        return error.description();
    }
    return {};
}

void CopyBuilder::release(IMessageMetadata *input, IStatement *statement, ITransaction *transaction)
{
    CheckStatusWrapper status(firebirdMaster()->getStatus());
    if (input)
        input->release();
    if (statement)
        statement->release();
    if (transaction)
        transaction->rollback(&status);
    status.dispose();
}

void CopyBuilder::fill(const ods::Database &database, const ods::Relation &relation, const ods::Rows &rows, int column,
          IMessageMetadata *input, unsigned parameter, unsigned char *message, ITransaction *transaction)
{
    short null = -1;
    unsigned char *at = message + input->getOffset(&m_status, parameter);
    if (!rows.isNull(column)) {
        null = 0;
        const QByteArrayView value = rows.value(column);
        const unsigned room = input->getLength(&m_status, parameter);
        const unsigned type = input->getType(&m_status, parameter) & ~1u;
        if (type == SQL_BLOB) {
            const QByteArray content = database.blob(relation, value);
            ISC_QUAD id{};
            IBlob *blob = m_attachment->createBlob(&m_status, transaction, &id, 0, nullptr);
            try {
                for (qsizetype done = 0; done < content.size(); done += 32768)
                    blob->putSegment(&m_status, unsigned(qMin<qsizetype>(32768, content.size() - done)),
                                     content.constData() + done);
                blob->close(&m_status); // releases it
            } catch (...) {
                // The transaction's rollback drops the unfinished BLOB; the
                // handle is ours to let go.
                blob->release();
                throw;
            }
            std::memcpy(at, &id, sizeof id);
        } else if (type == SQL_VARYING) {
            std::memcpy(at, value.data(), size_t(qMin<qsizetype>(value.size(), room + 2)));
        } else {
            std::memcpy(at, value.data(), size_t(qMin<qsizetype>(value.size(), room)));
        }
    }
    std::memcpy(message + input->getNullOffset(&m_status, parameter), &null, sizeof null);
}

EngineRefusal CopyBuilder::refusal(const IStatus *status)
{
    EngineRefusal refused{EngineRefusal::Other, {}, errorText(status)};
    bool named = true;
    for (const intptr_t *at = status->getErrors(); *at != isc_arg_end; at += *at == isc_arg_cstring ? 3 : 2) {
        if (at[0] == isc_arg_gds && refused.kind == EngineRefusal::Other) {
            switch (at[1]) {
            case isc_dsql_relation_err:
            case isc_dsql_procedure_err: refused.kind = EngineRefusal::UnknownTable; break;
            case isc_dsql_field_err: refused.kind = EngineRefusal::UnknownColumn; break;
            case isc_token_err:
            case isc_dsql_token_unk_err: refused.kind = EngineRefusal::UnknownToken; break;
            case isc_num_field_err:
            case isc_dsql_count_mismatch: refused.kind = EngineRefusal::ColumnCount; break;
            case isc_dsql_function_err:
            case isc_funnotdef: refused.kind = EngineRefusal::UnknownFunction; break;
            default: break;
            }
            named = refused.kind == EngineRefusal::Other || refused.kind == EngineRefusal::ColumnCount;
        } else if (at[0] == isc_arg_string && !named) {
            refused.name = QString::fromUtf8(reinterpret_cast<const char *>(at[1]));
            named = true;
        }
    }
    return refused;
}

QString CopyBuilder::errorText(const IStatus *status)
{
    char text[2048] = {};
    firebirdMaster()->getUtilInterface()->formatStatus(text, sizeof text - 1, const_cast<IStatus *>(status));
    return QString::fromLocal8Bit(text).simplified();
}

} // namespace dbaccess

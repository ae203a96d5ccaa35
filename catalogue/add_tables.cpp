#include "add_tables.h"

#include "connection_string.h"
#include "database_access.h"
#include "guarded_procedure.h"

#include <QTreeWidget>

namespace FireBird {
namespace {

class UntickedListbox : public TableListing {
public:
    explicit UntickedListbox(QTreeWidget &list) : m_list(list) {}

    void clear() override { m_list.clear(); }
    void append(const QString &name) override
    {
        auto *item = new QTreeWidgetItem(QStringList{name});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        m_list.addTopLevelItem(item);
    }

private:
    QTreeWidget &m_list;
};

// The database's own mark, not the name: a user's table may well be called
// TAX$RATES, and the system relations all carry the mark.
bool isSystemRelation(ado::Recordset &catalogue)
{
    return ado::tableKindOf(catalogue.fields().item(QStringLiteral("TABLE_TYPE")).value()) == ado::TableKind::SystemTable;
}

} // namespace

QString AddTablesToFireBird(TableListing &list, const dbaccess::Login &login)
{
    frame::GuardedProcedure p(frame::procedureLocation(u"FireBird", u"AddTablesToFireBirdListbox"));
    std::shared_ptr<ado::Connection> connection;
    std::shared_ptr<ado::Recordset> recordset;
    p.step(100, [&] { connection = components::create<ado::Connection>(ado::ConnectionClass); });
    p.step(102, [&] { recordset = components::create<ado::Recordset>(ado::RecordsetClass); });
    // Without a connection object its first step fails for want of it, and
    // the listing ends after that one report.
    const bool prepared = p.step(104, [&] {
        components::required(connection, ado::ConnectionClass).setCursorLocation(ado::adUseClient);
    });
    const bool opened = prepared && p.step(106, [&] { connection->Open(dbaccess::connectionString(login)); });
    p.step(108, [&] { list.clear(); });
    // Without a connection or a catalogue every later step would fail in
    // turn: one report is enough, and the list stays empty.
    if (!opened)
        return {};
    // A database that cannot tell what it is is compared with nothing later.
    QString identity;
    try {
        identity = connection->databaseIdentity();
    } catch (const components::ComponentError &) {
    }
    if (!p.step(110, [&] { recordset = connection->OpenSchema(ado::adSchemaTables); }))
        return identity;
    p.reportEachStepOnce();
    p.whileLoop(112, [&] { return !recordset->Eof(); }, [&] {
        std::optional<QString> name;
        if (p.test(114, [&] {
                name = recordset->fields().item(QStringLiteral("TABLE_NAME")).value().value_or(QString());
                return !isSystemRelation(*recordset);
            }))
            p.step(116, [&] {
                if (!name)
                    throw components::ComponentError(QStringLiteral("The table name could not be read."));
                list.append(*name);
            });
        // A record set that cannot move on would bring this row back for ever.
        return p.step(118, [&] { recordset->MoveNext(); });
    });
    p.step(120, [&] { recordset->Close(); });
    p.step(122, [&] { connection->Close(); });
    return identity;
}

QString AddTablesToFireBirdListbox(QTreeWidget &list, const dbaccess::Login &login)
{
    UntickedListbox listbox(list);
    return AddTablesToFireBird(listbox, login);
}

} // namespace FireBird

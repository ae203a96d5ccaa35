#include "read_losses_text.h"

#include <QStringList>

namespace ods {

namespace {

// A file with thousands of damaged pages is told by its first ones.
QString pageList(const std::set<uint32_t> &pages)
{
    constexpr int shown = 10;
    QStringList numbers;
    for (const uint32_t page : pages) {
        if (numbers.size() == shown)
            break;
        numbers << QString::number(page);
    }
    QString text = (pages.size() == 1 ? QStringLiteral("page ") : QStringLiteral("pages ")) + numbers.join(u", ");
    if (pages.size() > size_t(shown))
        text += QStringLiteral(" and %1 more").arg(pages.size() - size_t(shown));
    return text;
}

} // namespace

QString readLossesText(const QString &table, const ReadLosses &losses)
{
    if (!losses.any())
        return {};
    QStringList said;
    if (losses.records > 0)
        said << QStringLiteral("%1 of its records could not be read (on %2)")
                    .arg(losses.records)
                    .arg(pageList(losses.recordPages));
    const QString held = losses.lostPages.size() == 1 ? QStringLiteral("it held") : QStringLiteral("they held");
    if (!losses.lostPages.empty() && losses.lostPageRecords)
        said << QStringLiteral("its data %1 could not be read at all, and %2 %3 %4, as an index of the table tells")
                    .arg(pageList(losses.lostPages), held, QString::number(*losses.lostPageRecords),
                         *losses.lostPageRecords == 1 ? QStringLiteral("record") : QStringLiteral("records"));
    else if (!losses.lostPages.empty())
        said << QStringLiteral("its data %1 could not be read at all, and how many records %2 cannot be told")
                    .arg(pageList(losses.lostPages), held);
    QString text = QStringLiteral("The table \"%1\" is damaged in the database file").arg(table);
    if (!said.isEmpty())
        text += QStringLiteral(": ") + said.join(QStringLiteral("; ")) +
                QStringLiteral(". Every record that could be read was exported.");
    else
        text += QLatin1Char('.');
    if (!losses.searchedPointerPages.empty())
        text += QStringLiteral(" Its pointer %1 could not be read, so its records were found by searching the whole "
                               "file: a record deleted long ago may be among them.")
                    .arg(pageList(losses.searchedPointerPages));
    else if (losses.unlistedPointerPages)
        text += QStringLiteral(" The file's list of its pages is incomplete, so its records were found by searching "
                               "the whole file: a record deleted long ago may be among them.");
    text += QStringLiteral(" Repair the file with the tools of the Firebird version that made it (gfix, or a backup "
                           "and restore with gbak), or use a backup copy.");
    return text;
}

} // namespace ods

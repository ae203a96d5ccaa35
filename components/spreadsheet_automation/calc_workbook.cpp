#include "calc_workbook.h"

#include "calc_worksheet.h"
#include "full_disk.h"
#include "unfinished_file.h"
#include "uno_runtime.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace calc {

int CalcWorksheets::count() const
{
    return m_document->sheetCount();
}

std::shared_ptr<excel::Worksheet> CalcWorksheets::item(int index)
{
    const int sheetCount = count();
    if (index < 1 || index > sheetCount)
        throw components::ComponentError(
            QStringLiteral("There is no worksheet number %1: the workbook has %2.").arg(index).arg(sheetCount));
    return std::make_shared<CalcWorksheet>(m_document, m_document->sheetAt(index - 1));
}

std::shared_ptr<excel::Worksheet> CalcWorksheets::Add()
{
    m_document->flush();
    const int position = m_document->indexOf(m_document->activeSheet());
    const QString name = unusedSheetName();
    m_document->call(QStringLiteral("add a worksheet"),
                     [&] { m_document->sheets()->insertNewByName(toOUString(name), sal_Int16(position)); });
    const SheetRef sheet = m_document->sheetAt(position);
    m_document->activate(sheet);
    return std::make_shared<CalcWorksheet>(m_document, sheet);
}

// "Sheet" and a number, as a new worksheet is named in the formats users
// save to; any name works, as long as no other sheet has it in any case.
QString CalcWorksheets::unusedSheetName() const
{
    const QStringList names = m_document->sheetNames();
    for (int n = int(names.size()) + 1;; ++n) {
        const QString candidate = QStringLiteral("Sheet%1").arg(n);
        if (!names.contains(candidate, Qt::CaseInsensitive))
            return candidate;
    }
}

namespace {

// Calc's own export filters for the formats a workbook can be stored in.
QString filterFor(const QString &fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension == u"ods")
        return QStringLiteral("calc8");
    if (extension == u"xlsx")
        return QStringLiteral("Calc Office Open XML");
    throw components::ComponentError(
        QStringLiteral("The workbook cannot be saved as %1: it can be saved as .ods or .xlsx.")
            .arg(QDir::toNativeSeparators(fileName)));
}

} // namespace

void CalcWorkbook::SaveAs(const QString &fileName)
{
    const QString filter = filterFor(fileName);
    const QFileInfo target(fileName);
    // Written beside its final place, so the rename is within one file system.
    components::UnfinishedFile file(target.absolutePath());
    try {
        m_document->storeTo(QUrl::fromLocalFile(file.path()).toString(QUrl::FullyEncoded), filter);
    } catch (const components::ComponentStopped &) {
        throw;
    } catch (const components::ComponentError &error) {
        // The office does not say why; a disk it filled is the likeliest
        // reason, and the one the user can act on. Asked while the
        // unfinished file still takes its room.
        const QString full = components::fullDiskTextIfFull(target.absolutePath());
        throw components::ComponentError(full.isEmpty() ? error.description()
                                                        : QStringLiteral("LibreOffice Calc could not save %1. %2")
                                                              .arg(QDir::toNativeSeparators(target.absoluteFilePath()), full));
    }
    file.complete(target.absoluteFilePath());
}

std::shared_ptr<excel::Worksheet> CalcWorkbook::ActiveSheet()
{
    return std::make_shared<CalcWorksheet>(m_document, m_document->activeSheet());
}

} // namespace calc

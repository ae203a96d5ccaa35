#pragma once

// One run of the export, shared by the files that carry it out: the table
// loop (table_export.cpp) and the worksheets' taking and naming
// (export_sheets.cpp).

#include "component_error.h"
#include "database_access.h"
#include "export_window.h"
#include "guarded_procedure.h"
#include "preparation_display.h"
#include "spreadsheet_automation.h"
#include "table_export.h"

#include <QScopeGuard>
#include <QSet>
#include <memory>

namespace exporting {

// Everything one run of the export holds; dropped when the run ends.
struct ExportRun {
    ExportRun(ExportWindow &window, dbaccess::Login login, WorkbookDelivery deliver)
        : window(window), login(std::move(login)), deliver(std::move(deliver))
    {
    }

    ExportWindow &window;
    const dbaccess::Login login;
    const WorkbookDelivery deliver;
    frame::GuardedProcedure p{frame::procedureLocation(u"Form2", u"PushButton5_Click")};
    std::shared_ptr<ado::Connection> connection;
    const std::shared_ptr<PreparationDisplay> preparation = std::make_shared<PreparationDisplay>(window);
    std::shared_ptr<ado::Recordset> recordset;
    std::shared_ptr<excel::Application> application;
    std::shared_ptr<excel::Workbook> workbook;
    std::shared_ptr<excel::Worksheet> sheet;
    bool firstSheet = false;
    ExportResults results;
    // The failures that belong to a table, of all the run's.
    int tableFailures = 0;
    // The names the run gave its tables' worksheets, in lower case. Only
    // these keep a table from its name: a sheet that still has the name the
    // spreadsheet gave it makes way.
    QSet<QString> tableSheetNames;
    // Once the spreadsheet application has stopped nothing more can be
    // written, and once the database is gone nothing more can be read: the
    // steps of that side are skipped without further reports and the export
    // ends.
    bool spreadsheetStopped = false;
    // Stopped for want of room: the tables finished before are still
    // delivered.
    bool spreadsheetFull = false;
    bool databaseGone = false;

    bool stopped() const { return spreadsheetStopped || databaseGone; }
    template <class Work>
    auto watch(Work &&work) -> decltype(work());
    template <class Action>
    bool sheetStep(int number, Action &&action);
    template <class Action>
    bool readStep(int number, Action &&action);
    template <class T, class Compute>
    std::optional<T> readValue(int number, Compute &&compute);
    template <class Condition>
    bool readTest(int number, Condition &&condition);
    template <class Work>
    auto alwaysSaid(std::function<QString()> note, Work &&work) -> decltype(work());
    QString tableEndNote() const;

    void run();
    void ensureListedDatabase();
    bool prepareWorkbook();
    bool exportEntry(int i, int entries);
    bool exportEntryCounted(int i, int entries);
    void tookSheet();
    void writeTable(const QString &sheetCandidate);
    // A worksheet name and the number it took (0: none).
    struct DistinctName {
        QString name;
        int number = 0;
    };
    void nameSheet(const QString &name, int stepNumber);
    void nameTableSheet(QString &currentName);
    DistinctName distinctName(const QString &base, int firstNumber, int stepNumber);
    bool takenByAnotherSheet(const QString &name);
    void renameAside(const QString &name);
    bool takeSheet();
    bool startContinuationSheet(const QString &sheetCandidate, int part, int fields);
    bool finishWrites(int stepNumber);
    void finish();
};

// The components say by the kind of their failure when they are gone as a
// whole, so one report ends the export instead of one for every step left.
template <class Work>
auto ExportRun::watch(Work &&work) -> decltype(work())
{
    try {
        return work();
    } catch (const components::ComponentStopped &stop) {
        spreadsheetStopped = true;
        spreadsheetFull = dynamic_cast<const components::ComponentFull *>(&stop) != nullptr;
        // Said even after an earlier failure of the same table: it ends the
        // export.
        p.forgetReports();
        throw;
    } catch (const components::ConnectionLost &) {
        databaseGone = true;
        p.forgetReports();
        throw;
    }
}

template <class Action>
bool ExportRun::sheetStep(int number, Action &&action)
{
    if (spreadsheetStopped)
        return false;
    return p.step(number, [&] { watch(action); });
}

template <class Action>
bool ExportRun::readStep(int number, Action &&action)
{
    if (databaseGone)
        return false;
    return p.step(number, [&] { watch(action); });
}

template <class T, class Compute>
std::optional<T> ExportRun::readValue(int number, Compute &&compute)
{
    if (databaseGone)
        return std::nullopt;
    return p.value<T>(number, [&] { return watch(compute); });
}

// As a guarded test: one that cannot be evaluated takes its branch.
template <class Condition>
bool ExportRun::readTest(int number, Condition &&condition)
{
    return databaseGone || p.test(number, [&] { return watch(condition); });
}

// A failure inside work ends the table, or loses what no earlier report of
// the table told of: it is said even after the table's first report.
template <class Work>
auto ExportRun::alwaysSaid(std::function<QString()> note, Work &&work) -> decltype(work())
{
    p.sayEveryFailure(std::move(note));
    const auto quietAgain = qScopeGuard([&] { p.stopSayingEveryFailure(); });
    return work();
}

} // namespace exporting

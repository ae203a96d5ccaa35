#include "command_line.h"

#include "add_tables.h"
#include "command_line_arguments.h"
#include "command_line_window.h"
#include "login.h"
#include "register_csv_spreadsheet.h"
#include "register_database_access.h"
#include "register_spreadsheet_automation.h"
#include "register_xlsx_spreadsheet.h"
#include "spreadsheet_automation.h"
#include "stderr_reports.h"
#include "table_export.h"
#include "termination_signals.h"
#include "unfinished_file.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>

namespace command_line {
namespace {

constexpr int allExported = 0;
constexpr int someFailed = 1;
constexpr int nothingExported = 2;

class NameList : public FireBird::TableListing {
public:
    void clear() override { names.clear(); }
    void append(const QString &name) override { names << name; }
    QStringList names;
};

// Kept out of the process list: a file, else the environment.
std::optional<QString> password(const Arguments &arguments)
{
    if (arguments.passwordFile.isEmpty())
        return qEnvironmentVariable("MARROWBECK_PASSWORD");
    QFile file(arguments.passwordFile);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(QStringLiteral("The password file %1 cannot be read: %2.")
                      .arg(QDir::toNativeSeparators(arguments.passwordFile), file.errorString()));
        return std::nullopt;
    }
    QString first = QString::fromUtf8(file.readLine());
    while (first.endsWith(u'\n') || first.endsWith(u'\r'))
        first.chop(1);
    return first;
}

bool outputFolderTakesFiles(const QString &output)
{
    if (QFileInfo(output).isDir()) {
        printLine(QStringLiteral("The output %1 is a folder, not a file.").arg(QDir::toNativeSeparators(output)));
        return false;
    }
    try {
        components::UnfinishedFile probe(QFileInfo(output).absolutePath());
        return true;
    } catch (const components::ComponentError &error) {
        printLine(error.description());
        return false;
    }
}

// The listed table a name given on the command line means: the table of
// that very name, else as SQL reads an identifier: in double quotes exactly
// the name inside, without them its upper case.
QString listedTable(const QString &asked, const QStringList &listed)
{
    if (listed.contains(asked))
        return asked;
    QString meant = asked.toUpper();
    if (asked.size() >= 2 && asked.startsWith(u'"') && asked.endsWith(u'"'))
        meant = asked.mid(1, asked.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return listed.contains(meant) ? meant : QString();
}

// The tables asked for that the database has, in the list's order, as the
// wizard exports the entries ticked; every one it lacks is a failure of its
// own.
QStringList tablesToExport(const QStringList &asked, const QStringList &listed, int &missing)
{
    if (asked.isEmpty())
        return listed;
    QStringList found;
    for (const QString &name : asked) {
        const QString table = listedTable(name, listed);
        if (table.isEmpty()) {
            printLine(QStringLiteral("There is no table \"%1\" in the database.").arg(name));
            ++missing;
        }
        found << table;
    }
    QStringList tables;
    for (const QString &name : listed) {
        if (found.contains(name))
            tables << name;
    }
    return tables;
}

// The office is started before the export, not by it: its runtime takes the
// termination signals for itself, and they must come back to us before the
// first table, so a stopped run leaves no office behind.
bool startOffice()
{
    registerSpreadsheetAutomationComponents();
    std::shared_ptr<excel::Application> office;
    try {
        office = components::create<excel::Application>(excel::ApplicationClass);
    } catch (const components::ComponentError &error) {
        printLine(error.description());
        return false;
    }
    frame::endProgramOnTerminationSignals();
    auto started = std::make_shared<std::shared_ptr<excel::Application>>(std::move(office));
    components::Registry::instance().registerFactory(
        excel::ApplicationClass, [started]() -> std::shared_ptr<components::Object> { return std::exchange(*started, nullptr); });
    return true;
}

// Standard error carries our failure lines only: Qt's notes about its own
// surroundings (no runtime folder, a font substituted) are nothing a job's
// reader can act on.
void keepQtNotesOffStandardError()
{
    static const QtMessageHandler qtOwn = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if ((type == QtCriticalMsg || type == QtFatalMsg) && qtOwn)
            qtOwn(type, context, message);
    });
}

// What the failure reports and a termination signal need to know of the run;
// shared with those services, which outlive it.
struct Reporting {
    std::unique_ptr<CommandLineWindow> window;
    int failures = 0;
    void clearProgress() const
    {
        if (window)
            window->progress().clear();
    }
};

std::shared_ptr<Reporting> reportOnStandardError()
{
    const auto reporting = std::make_shared<Reporting>();
    frame::setMessageBoxService(std::make_shared<StandardErrorReports>([reporting] { reporting->clearProgress(); },
                                                                       [reporting] { ++reporting->failures; }));
    frame::setTerminator(std::make_shared<StoppedTerminator>([reporting] { reporting->clearProgress(); }));
    return reporting;
}

// A table that failed part-way would look whole in the file: its sheets are
// taken out before the workbook is stored. A table whose records all arrived
// stays, whatever else of it was said (a value left empty, a text cut).
// False when no table is left to store.
bool leaveOutFailedTables(const ExportResults &results)
{
    const bool anyWhole = std::any_of(results.tables.begin(), results.tables.end(),
                                      [](const TableResult &table) { return table.whole() && !table.sheets.empty(); });
    if (!anyWhole)
        return false;
    for (const TableResult &table : results.tables) {
        if (!table.whole()) {
            for (const auto &sheet : table.sheets)
                sheet->Delete();
        }
    }
    return true;
}

QString leftOutLine(const TableResult &table, const QString &output)
{
    if (table.records < 0)
        return QStringLiteral("The table \"%1\" failed and is not in %2.").arg(table.table, output);
    // Every record was read, but cells of the last ones never reached the sheet.
    if (table.cellsLost && table.recordsWritten == table.records)
        return QStringLiteral("The table \"%1\" failed and is not in %2 (the cells of its last records could not be "
                              "written).").arg(table.table, output);
    return QStringLiteral("The table \"%1\" failed and is not in %2 (%3 of its %4 records had been written when it "
                          "failed).")
        .arg(table.table, output)
        .arg(table.recordsWritten)
        .arg(table.records);
}

// Only .ods needs the office; .xlsx and .csv are written without one.
bool officeAvailableFor(OutputFormat format)
{
    if (format != OutputFormat::Ods || spreadsheetOfficeInstalled())
        return true;
    printLine(QStringLiteral("Writing .ods needs LibreOffice Calc, which is not installed: install it with "
                             "\"sudo apt install libreoffice-calc\", or write .xlsx or .csv, which need no office."));
    return false;
}

int exportTables(const Arguments &arguments)
{
    if (!officeAvailableFor(arguments.format))
        return nothingExported;
    const std::optional<QString> secret = password(arguments);
    if (!secret || !outputFolderTakesFiles(arguments.output))
        return nothingExported;
    const dbaccess::Login login = dbaccess::enteredLogin(arguments.database, arguments.user, *secret);

    const auto reporting = reportOnStandardError();
    std::unique_ptr<CommandLineWindow> &window = reporting->window;

    registerDatabaseAccessComponents();
    NameList listing;
    const QString listedDatabase = FireBird::AddTablesToFireBird(listing, login);
    const bool listingFailed = reporting->failures > 0;
    if (listing.names.isEmpty()) {
        if (!listingFailed)
            printLine(QStringLiteral("The database has no tables to export."));
        return nothingExported;
    }
    int missing = 0;
    const QStringList tables = tablesToExport(arguments.tables, listing.names, missing);
    if (tables.isEmpty())
        return nothingExported;

    const QString outputFolder = QFileInfo(arguments.output).absolutePath();
    if (arguments.format == OutputFormat::Csv)
        registerCsvSpreadsheetComponents(outputFolder);
    else if (arguments.format == OutputFormat::Xlsx)
        registerXlsxSpreadsheetComponents(outputFolder);
    else if (!startOffice())
        return nothingExported;

    window = std::make_unique<CommandLineWindow>(tables, listedDatabase, ::isatty(STDERR_FILENO) == 1);
    const QString shownOutput = QDir::toNativeSeparators(arguments.output);
    bool saved = false;
    const ExportResults results =
        runExport(*window, login, [&](excel::Application &, excel::Workbook &workbook, const ExportResults &run) {
            // A workbook without any whole table is no export; the file stays
            // as it was.
            if (!leaveOutFailedTables(run))
                return;
            window->progress().saving(shownOutput);
            workbook.SaveAs(arguments.output);
            saved = true;
        });
    window->progress().clear();
    if (!saved) {
        printLine(QStringLiteral("No table was exported; %1 was not written.").arg(shownOutput));
        return nothingExported;
    }
    bool anyFailed = false;
    QSet<QString> reached;
    for (const TableResult &table : results.tables) {
        if (!table.whole())
            printLine(leftOutLine(table, shownOutput));
        anyFailed = anyFailed || table.failed;
        reached.insert(table.table);
    }
    // A run that ended early (a full disk, the database gone) names what it
    // never reached, so that no table goes missing unsaid.
    for (const QString &table : tables)
        if (!reached.contains(table))
            printLine(QStringLiteral("The table \"%1\" was not exported and is not in %2.").arg(table, shownOutput));
    const bool complete = missing == 0 && !listingFailed && !results.otherFailures && !anyFailed
        && int(results.tables.size()) == int(tables.size());
    return complete ? allExported : someFailed;
}

} // namespace

int run(int argc, char **argv)
{
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    const Parsed parsed = parseArguments(given);
    if (!parsed.arguments) {
        printLine(parsed.error + QStringLiteral(" See marrowbeck --help."));
        return nothingExported;
    }
    if (parsed.arguments->action == Arguments::Action::Help) {
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return allExported;
    }
    if (parsed.arguments->action == Arguments::Action::Version) {
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return allExported;
    }

    // No display is needed or used: Qt measures the column widths' texts in
    // the offscreen platform's fonts, and the office (for .ods only) runs
    // headless, so the workbook can never be shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    keepQtNotesOffStandardError();
    // Qt sees none of the arguments: a table may well be called "-reverse".
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(MARROWBECK_PRODUCT));
    QCoreApplication::setOrganizationName(QStringLiteral(MARROWBECK_COMPANY));
    QCoreApplication::setApplicationVersion(QStringLiteral(MARROWBECK_VERSION));
    // Before any office starts, so at a sudden end the office is stopped
    // before its unfinished file is removed.
    components::removeUnfinishedFilesAtExit();
    frame::endProgramOnTerminationSignals();
    return exportTables(*parsed.arguments);
}

} // namespace command_line

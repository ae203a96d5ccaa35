#include "command_line_arguments.h"

#include "version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace command_line {
namespace {

const QStringList ownOptions{QStringLiteral("--export"), QStringLiteral("--output"), QStringLiteral("--table"),
                             QStringLiteral("--user"), QStringLiteral("--password-file"), QStringLiteral("--help"),
                             QStringLiteral("-h"), QStringLiteral("--version")};

std::optional<OutputFormat> formatOf(const QString &output)
{
    const QString extension = QFileInfo(output).suffix().toLower();
    if (extension == u"ods")
        return OutputFormat::Ods;
    if (extension == u"xlsx")
        return OutputFormat::Xlsx;
    if (extension == u"csv")
        return OutputFormat::Csv;
    return std::nullopt;
}

// The shell leaves a quoted "~/" as it is; the program takes it as the
// home folder, as it does in a database path.
QString inHomeFolder(const QString &path)
{
    return path.startsWith(QLatin1String("~/")) ? QDir::homePath() + path.mid(1) : path;
}

} // namespace

bool isCommandLine(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (ownOptions.contains(argument.section(u'=', 0, 0)))
            return true;
    }
    return false;
}

Parsed parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption exportOption(QStringLiteral("export"), QString(), QStringLiteral("DATABASE"));
    const QCommandLineOption outputOption(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption tableOption(QStringLiteral("table"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption userOption(QStringLiteral("user"), QString(), QStringLiteral("USER"));
    const QCommandLineOption passwordOption(QStringLiteral("password-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption versionOption(QStringLiteral("version"));
    parser.addOptions({exportOption, outputOption, tableOption, userOption, passwordOption, helpOption, versionOption});
    if (!parser.parse(QStringList{QStringLiteral("marrowbeck")} + arguments))
        return {std::nullopt, parser.errorText()};
    if (!parser.positionalArguments().isEmpty())
        return {std::nullopt, QStringLiteral("Unexpected argument: %1.").arg(parser.positionalArguments().first())};

    Arguments result;
    if (parser.isSet(helpOption)) {
        result.action = Arguments::Action::Help;
        return {result, QString()};
    }
    if (parser.isSet(versionOption)) {
        result.action = Arguments::Action::Version;
        return {result, QString()};
    }
    for (const QCommandLineOption *single : {&exportOption, &outputOption, &userOption, &passwordOption}) {
        if (parser.values(*single).size() > 1)
            return {std::nullopt, QStringLiteral("--%1 is given more than once.").arg(single->names().first())};
    }
    if (!parser.isSet(exportOption) || parser.value(exportOption).isEmpty())
        return {std::nullopt, QStringLiteral("--export DATABASE is missing.")};
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty())
        return {std::nullopt, QStringLiteral("--output FILE is missing.")};
    result.database = parser.value(exportOption);
    result.output = inHomeFolder(parser.value(outputOption));
    const std::optional<OutputFormat> format = formatOf(result.output);
    if (!format)
        return {std::nullopt, QStringLiteral("The output file %1 names no known format: its name must end in .ods, "
                                             ".xlsx or .csv.").arg(result.output)};
    result.format = *format;
    for (const QString &table : parser.values(tableOption)) {
        if (!result.tables.contains(table))
            result.tables << table;
    }
    if (parser.isSet(userOption))
        result.user = parser.value(userOption);
    result.passwordFile = parser.value(passwordOption);
    return {result, QString()};
}

QString helpText()
{
    return QStringLiteral(
        "Usage: marrowbeck --export DATABASE --output FILE [--table NAME]... [--user USER] [--password-file FILE]\n"
        "       marrowbeck --help | --version\n"
        "\n"
        "Copies tables of a Firebird or InterBase database into a workbook without windows:\n"
        "each table into a worksheet of its own, a header row then one row per record, the\n"
        "same workbook the wizard makes.\n"
        "\n"
        "  --export DATABASE     a database file of any version, host:path or host/port:path\n"
        "  --output FILE         FILE.xlsx (written directly), FILE.ods (written through\n"
        "                        LibreOffice Calc, never shown: the one output that needs it),\n"
        "                        or FILE.csv: one file per worksheet beside FILE, named FILE's\n"
        "                        name, \"_\", the worksheet's name, \".csv\"\n"
        "  --table NAME          a table or view to export, named as in SQL: products is\n"
        "                        PRODUCTS unless a table is called products, \"products\" only\n"
        "                        that; may be repeated; exported in the order the wizard\n"
        "                        lists them; without it every table listed\n"
        "  --user USER           the user name (default SYSDBA)\n"
        "  --password-file FILE  the password is the first line of FILE; without it the\n"
        "                        environment variable MARROWBECK_PASSWORD, else none\n"
        "  -h, --help            show this text\n"
        "  --version             show the product name and version\n"
        "\n"
        "Files are written whole or not at all. Progress goes to standard error when it is a\n"
        "terminal; every failure is one line there.\n"
        "\n"
        "Exit status: 0 every table exported; 1 some tables failed, the others were exported;\n"
        "2 nothing exported (bad arguments, database not opened, office not started, output\n"
        "not written, or the program was stopped). A text longer than an .xlsx cell holds\n"
        "(32,767 characters) is cut to that length and reported as a failure of its table.\n");
}

QString versionText() { return QStringLiteral(MARROWBECK_PRODUCT " " MARROWBECK_VERSION "\n"); }

} // namespace command_line

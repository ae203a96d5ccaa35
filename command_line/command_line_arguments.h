#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace command_line {

enum class OutputFormat { Ods, Xlsx, Csv };

struct Arguments {
    enum class Action { Export, Help, Version };
    Action action = Action::Export;
    QString database;
    QString output;
    OutputFormat format = OutputFormat::Ods;
    // In the order given, each once; empty for every table.
    QStringList tables;
    QString user = QStringLiteral("SYSDBA");
    QString passwordFile;
};

// True when the program was started to export without windows (or to say
// how): one of the command line's own options is among the arguments.
// Anything else starts the wizard, which takes Qt's own options.
bool isCommandLine(const QStringList &arguments);

// The arguments after the program's name, or why they cannot be used.
struct Parsed {
    std::optional<Arguments> arguments;
    QString error;
};
Parsed parseArguments(const QStringList &arguments);

QString helpText();
QString versionText();

} // namespace command_line

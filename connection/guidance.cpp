#include "guidance.h"

#include "failure_report.h"
#include "main_module.h"

namespace guidance {
namespace {
const QString paragraph = QStringLiteral("\r\n\r\n");
}

QString serverQuestion()
{
    return QStringLiteral("This software uses the Firebird client and embedded engine from your system's packages, but it "
                          "does not install Firebird Server, which is necessary for connecting to a database on a server.")
        + paragraph
        + QStringLiteral("This software works with the embedded engine and with Firebird Server 2.5 and 3.0, so there is "
                         "no need to uninstall a Firebird Server 3.0 that you have installed.")
        + paragraph
        + QStringLiteral("A database file given by a plain path opens without any server; a path of the form "
                         "host:path or host/port:path connects through the Firebird Server on that host.")
        + paragraph + QStringLiteral("Would you like me to open the website for Firebird Server") + paragraph
        + serverPackagesUrl + paragraph + QStringLiteral("so that you can download and install Firebird Server?");
}

QString helpText()
{
    return QStringLiteral("In order to successfully connect to your Firebird fdb file you need to have two things installed: ")
        + paragraph
        + QStringLiteral("1. Firebird client library and embedded engine. These come from your system's packages "
                         "(libfbclient2 and firebird3.0-server-core) and are installed together with ")
        + Main::productTitle
        + QStringLiteral(". If you installed it from its package, you already have them.")
        + paragraph + QStringLiteral("2. Firebird Server packages - - found at ") + serverPackagesUrl
        + QStringLiteral(". You need Firebird Server installed and RUNNING only to connect to a database on a server "
                         "(a path such as localhost:/data/shop.fdb); a plain file path opens with the embedded engine. "
                         "To check if it is running, use your system's tools (for example \"pgrep -a fbguard\" or "
                         "\"systemctl status firebird3.0\") and look for fbguard and firebird.")
        + paragraph + QStringLiteral("Please email ") + frame::supportEmail
        + QStringLiteral(" if you have any questions about connecting to Firebird. Please attach a screenshot of this "
                         "message as a reference.");
}

} // namespace guidance

#include "product_names.h"

#include "on_disk_format.h"

namespace ods {

namespace {

QString firebirdName(int major, int minor)
{
    struct Release {
        int major;
        int minor;
        const char *name;
    };
    static const Release releases[] = {
        {11, 0, "Firebird 2.0"}, {11, 1, "Firebird 2.1"}, {11, 2, "Firebird 2.5"},
        {12, 0, "Firebird 3.0"}, {13, 0, "Firebird 4.0"}, {13, 1, "Firebird 5.0"},
    };
    for (const Release &release : releases)
        if (release.major == major && release.minor == minor)
            return QLatin1String(release.name);
    if (major > 13 || (major == 13 && minor > 1))
        return QStringLiteral("a Firebird version newer than 5.0");
    return QStringLiteral("an unknown Firebird version");
}

// Minor versions name the release only where one major version spans
// several releases that are worth telling apart.
QString interbaseName(int major, int minor)
{
    switch (major) {
    case 8: return QStringLiteral("InterBase 4.x");
    case 9: return QStringLiteral("InterBase 5.x");
    case 10: return minor == 0 ? QStringLiteral("Firebird 1.0 or InterBase 6.0")
                               : QStringLiteral("Firebird 1.5 or InterBase 6.5");
    case 11:
        switch (minor) {
        case 0: return QStringLiteral("InterBase 7.0");
        case 1: return QStringLiteral("InterBase 7.1");
        case 2: return QStringLiteral("InterBase 7.5");
        default: return QStringLiteral("InterBase 7.x");
        }
    case 12: return QStringLiteral("InterBase 2007");
    case 13: return QStringLiteral("InterBase 2009");
    case 14: return QStringLiteral("an InterBase version between 2009 and XE");
    case 15: return QStringLiteral("InterBase XE or XE3");
    case 16: return QStringLiteral("InterBase XE7");
    case 17: return QStringLiteral("InterBase 2017");
    case 18: return QStringLiteral("InterBase 2020");
    case 19: return QStringLiteral("InterBase 15");
    default:
        return major < 8 ? QStringLiteral("InterBase 3 or older")
                         : QStringLiteral("an InterBase version newer than InterBase 15");
    }
}

} // namespace

QString madeBy(uint16_t odsWord, int minor)
{
    using disk::HeaderPageCommon;
    const int major = odsWord & ~HeaderPageCommon::firebirdFlag;
    const QString product = (odsWord & HeaderPageCommon::firebirdFlag) ? firebirdName(major, minor)
                                                                      : interbaseName(major, minor);
    return QStringLiteral("%1 (on-disk structure %2.%3)").arg(product).arg(major).arg(minor);
}

} // namespace ods

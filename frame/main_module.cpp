#include "main_module.h"

#include <QFile>
#include <sys/stat.h>

namespace Main {
namespace {

QString &appTitleSlot()
{
    static QString title = productTitle;
    return title;
}

} // namespace

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

QString NullToDefault(const std::optional<QString> &value, const QString &defaultValue)
{
    return value ? *value : defaultValue;
}

QString shortAppTitle(const QString &title)
{
    QString t = title;
    do {
        const qsizetype blank = t.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        t.truncate(blank);
    } while (t.size() > 40);
    return t;
}

void SetShortAppTitle() { setAppTitle(shortAppTitle(productTitle)); }

QString appTitle() { return appTitleSlot(); }

void setAppTitle(const QString &title) { appTitleSlot() = title; }

} // namespace Main

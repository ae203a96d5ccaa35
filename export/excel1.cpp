#include "excel1.h"

namespace Excel1 {

QString CleanSheetName(const QString &name)
{
    QString cleaned = name;
    cleaned.remove(QLatin1Char('['));
    cleaned.remove(QLatin1Char(']'));
    return cleaned.left(30);
}

QString numberedCandidate(const QString &base, int n)
{
    const QString number = QString::number(n);
    return base.left(30 - number.size()) + number;
}

} // namespace Excel1

#include "time_zone_text.h"

#include <QDateTime>
#include <QTimeZone>

namespace dbaccess {

namespace {

// Ids up to twice this encode a fixed offset: id - this = minutes east of UTC.
constexpr int offsetIdZero = 24 * 60 - 1;
constexpr unsigned firstRegionId = 65535;
constexpr qint64 firebirdDayZero = 2400001; // Julian day of 17 November 1858
constexpr int timeZoneReferenceDay = 58849;  // 1 January 2020
constexpr qint64 ticksPerSecond = 10000;
constexpr qint64 ticksPerDay = 86400 * ticksPerSecond;

const char *regionName(unsigned zoneId)
{
    if (zoneId > firstRegionId || firstRegionId - zoneId >= firebirdTimeZoneRegions.size())
        return nullptr;
    return firebirdTimeZoneRegions[firstRegionId - zoneId];
}

QString offsetName(int minutes)
{
    const int magnitude = minutes < 0 ? -minutes : minutes;
    return QStringLiteral("%1%2:%3")
        .arg(QChar(minutes < 0 ? u'-' : u'+'), QString::number(magnitude / 60).rightJustified(2, u'0'),
             QString::number(magnitude % 60).rightJustified(2, u'0'));
}

// Seconds east of UTC in the zone at that UTC instant.
int offsetSeconds(unsigned zoneId, int utcDays, qint64 utcTicks)
{
    if (zoneId <= 2 * offsetIdZero)
        return (int(zoneId) - offsetIdZero) * 60;
    const char *region = regionName(zoneId);
    if (!region)
        return 0;
    const QTimeZone zone(region);
    if (!zone.isValid())
        return 0;
    const QDateTime instant(QDate::fromJulianDay(firebirdDayZero + utcDays),
                            QTime::fromMSecsSinceStartOfDay(int(utcTicks / 10)), QTimeZone::utc());
    return zone.offsetFromUtc(instant);
}

struct WallTime {
    qint64 day;
    qint64 ticks;
};

WallTime wallTime(int utcDays, unsigned utcTicks, unsigned zoneId)
{
    const qint64 ticks = qint64(utcTicks) % ticksPerDay;
    qint64 local = ticks + qint64(offsetSeconds(zoneId, utcDays, ticks)) * ticksPerSecond;
    qint64 day = utcDays;
    if (local < 0) {
        local += ticksPerDay;
        --day;
    } else if (local >= ticksPerDay) {
        local -= ticksPerDay;
        ++day;
    }
    return {day, local};
}

QString clockText(const ValueText &text, qint64 ticks)
{
    const qint64 seconds = ticks / ticksPerSecond;
    return text.time(int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60), int(ticks % ticksPerSecond));
}

} // namespace

QString timeZoneName(unsigned zoneId)
{
    if (zoneId <= 2 * offsetIdZero)
        return offsetName(int(zoneId) - offsetIdZero);
    const char *region = regionName(zoneId);
    return region ? QString::fromLatin1(region) : QStringLiteral("GMT");
}

QString zonedTimestampText(const ValueText &text, int utcDays, unsigned utcTicks, unsigned zoneId)
{
    const WallTime local = wallTime(utcDays, utcTicks, zoneId);
    const QDate date = QDate::fromJulianDay(firebirdDayZero + local.day);
    return text.date(date.year(), date.month(), date.day()) + u' ' + clockText(text, local.ticks) + u' '
        + timeZoneName(zoneId);
}

QString zonedTimeText(const ValueText &text, unsigned utcTicks, unsigned zoneId)
{
    return clockText(text, wallTime(timeZoneReferenceDay, utcTicks, zoneId).ticks) + u' ' + timeZoneName(zoneId);
}

} // namespace dbaccess

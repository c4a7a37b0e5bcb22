// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/timetext.h"

#include <QLocale>

#include <algorithm>

namespace {
// What may stand between the zone field and the rest of a format: blanks, a comma,
// the brackets some locales put around the zone.
bool tiesZoneField(QChar c)
{
    return c.isSpace() || c == u',' || c == u'(' || c == u')' || c == u'[' || c == u']';
}

// The no-break spaces that locales put into their formats, which the clock's text shows as
// plain ones.
QString withPlainSpaces(QString text)
{
    text.replace(QChar(0x00A0), u' ');
    text.replace(QChar(0x202F), u' ');
    return text;
}

// The format of the clock's text: the locale's long time format without its zone.
QString clockFormat(const QLocale &locale)
{
    // The tick asks once a second or more, nearly always of the same format.
    static QString longFormat;
    static QString format;
    if (const QString f = locale.timeFormat(QLocale::LongFormat); f != longFormat) {
        longFormat = f;
        format = alarms::withoutTimeZone(f);
    }
    return format;
}

// The moments whose local date and time are these, earliest first: none in an hour the
// clock skips, two in an hour it shows twice. The local time at an instant is the UTC time
// plus the offset then, so the candidates are the UTC reading minus each offset in force
// within a day of it.
QList<QDateTime> momentsShowing(QDate date, QTime time)
{
    const QDateTime reading(date, time, Qt::UTC);
    QList<QDateTime> moments;
    for (const QDateTime &around : {reading.addDays(-1), reading.addDays(1)}) {
        const QDateTime moment
            = reading.addSecs(-around.toLocalTime().offsetFromUtc()).toLocalTime();
        if (moment.date() == date && moment.time() == time && !moments.contains(moment))
            moments.append(moment);
    }
    std::sort(moments.begin(), moments.end());
    return moments;
}
} // namespace

QString alarms::withoutTimeZone(const QString &format)
{
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        // A quote opens or closes a literal; a doubled quote closes and reopens it.
        if (format[i] == u'\'')
            quoted = !quoted;
        if (quoted || format[i] != u't')
            continue;
        qsizetype begin = i;
        qsizetype end = i;
        while (end < format.size() && format[end] == u't')
            ++end;
        while (end < format.size() && tiesZoneField(format[end]))
            ++end;
        // A zone at the end takes the separators before it; one elsewhere those after it.
        if (end == format.size())
            while (begin > 0 && tiesZoneField(format[begin - 1]))
                --begin;
        return withoutTimeZone(format.left(begin) + format.mid(end));
    }
    return format;
}

QString alarms::timeText(QTime time)
{
    const QLocale locale;
    return withPlainSpaces(locale.toString(time, clockFormat(locale)));
}

std::optional<QDateTime> alarms::nextShowing(const QString &text, const QDateTime &now)
{
    const QLocale locale;
    // Read back as the clock writes it; only a text the clock writes for that time counts,
    // so "06:30:00 AM" or "6:30 AM" read as 6:30 yet are never shown.
    const QTime time = locale.toTime(text, withPlainSpaces(clockFormat(locale)));
    if (!time.isValid() || timeText(time) != text)
        return std::nullopt;
    const QDateTime local = now.toLocalTime();
    // Today, tomorrow, and the day after should tomorrow's clock skip the time.
    for (int day = 0; day <= 2; ++day)
        for (const QDateTime &moment : momentsShowing(local.date().addDays(day), time))
            if (moment > now)
                return moment;
    return std::nullopt;
}

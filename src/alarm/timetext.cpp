// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/timetext.h"

#include <QLocale>

namespace {
// What may stand between the zone field and the rest of a format: blanks, a comma,
// the brackets some locales put around the zone.
bool tiesZoneField(QChar c)
{
    return c.isSpace() || c == u',' || c == u'(' || c == u')' || c == u'[' || c == u']';
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
    // The tick asks once a second or more, nearly always of the same format.
    static QString longFormat;
    static QString format;
    if (const QString f = locale.timeFormat(QLocale::LongFormat); f != longFormat) {
        longFormat = f;
        format = withoutTimeZone(f);
    }
    QString text = locale.toString(time, format);
    text.replace(QChar(0x00A0), u' ');
    text.replace(QChar(0x202F), u' ');
    return text;
}

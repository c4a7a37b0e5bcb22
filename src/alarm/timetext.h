// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTime>

namespace alarms {
// The clock's text for a time of day: the default locale's long time format with its
// seconds and without its time-zone field, each no-break space made a plain one so that the
// text can be typed ("3:34:00 PM" with United States settings). Text1 shows it, and the
// alarm time is compared with it.
QString timeText(QTime time);
// A time format with its time-zone field, and the separators that tie it to the rest,
// taken out: "h:mm:ss AP t" gives "h:mm:ss AP", "HH:mm:ss (t)" gives "HH:mm:ss".
QString withoutTimeZone(const QString &format);
} // namespace alarms

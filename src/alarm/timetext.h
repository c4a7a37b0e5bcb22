// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

namespace alarms {
// The clock's text for a time of day: the default locale's long time format with its
// seconds and without its time-zone field, each no-break space made a plain one so that the
// text can be typed ("3:34:00 PM" with United States settings). Text1 shows it, and the
// alarm time is compared with it.
QString timeText(QTime time);
// A time format with its time-zone field, and the separators that tie it to the rest,
// taken out: "h:mm:ss AP t" gives "h:mm:ss AP", "HH:mm:ss (t)" gives "HH:mm:ss".
QString withoutTimeZone(const QString &format);
// The next moment after now whose clock text is text, on the local clock; none when text is
// no clock text. A day whose clock never shows it (the hour skipped when the clock goes
// forward) is passed over; of an hour shown twice (when the clock goes back), the first.
std::optional<QDateTime> nextShowing(const QString &text, const QDateTime &now);
} // namespace alarms

// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/countdown.h"

#include "alarm/alarm.h"
#include "alarm/timetext.h"
#include "main/frmplayer.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

std::optional<double> countdown::fieldNumber(const QString &text)
{
    bool ok = false;
    const double number = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

QString countdown::fieldText(double number)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(number, 'g', 15);
}

namespace {

using Fields = std::array<double, 3>; // hours, minutes, seconds

// The numbers of Text3, Text4 and Text5; none while a field is empty or holds no number, so
// that the countdown rests. All three are converted every time.
std::optional<Fields> fieldNumbers(const frmPlayer &f)
{
    const std::array<std::optional<double>, 3> numbers {countdown::fieldNumber(f.Text3->text()),
                                                        countdown::fieldNumber(f.Text4->text()),
                                                        countdown::fieldNumber(f.Text5->text())};
    for (const auto &number : numbers)
        if (!number)
            return std::nullopt;
    return Fields {*numbers[0], *numbers[1], *numbers[2]};
}

alarms::Countdown stateOf(const Fields &fields, bool armed)
{
    const auto [h, m, s] = fields;
    if (h > 0 || m > 0 || s > 0)
        return alarms::Countdown::Running;
    if (h == 0 && m == 0 && s == 0)
        return armed ? alarms::Countdown::Due : alarms::Countdown::Finished;
    return alarms::Countdown::Stuck;
}

// The steps that take the fields to zero, one a tick: every unit above zero of a field costs
// the steps that a borrow from it leaves below (1 + 59 of the seconds, 1 + 59 · 60 of the
// minutes and seconds). None when they stop short of zero: a fraction or a negative value that
// no borrow from above makes whole again.
std::optional<double> stepsToZero(const Fields &fields)
{
    const auto [h, m, s] = fields;
    // What each field holds once it can count down no further.
    const double hEnd = h > 0 ? h - std::ceil(h) : h;
    const double mEnd = h > 0 ? 0 : (m > 0 ? m - std::ceil(m) : m);
    const double sEnd = h > 0 || m > 0 ? 0 : (s > 0 ? s - std::ceil(s) : s);
    if (hEnd != 0 || mEnd != 0 || sEnd != 0)
        return std::nullopt;
    auto units = [](double value) { return value > 0 ? std::ceil(value) : 0; };
    return units(h) * 3600 + units(m) * 60 + units(s);
}

} // namespace

alarms::Countdown alarms::countdownState(const frmPlayer &f)
{
    const std::optional<Fields> fields = fieldNumbers(f);
    return fields ? stateOf(*fields, f.blnAlarmEdited) : Countdown::Resting;
}

bool alarms::alarmIsSet(const frmPlayer &f)
{
    if (f.Option1->isChecked())
        return !f.Text2->text().isEmpty();
    if (!f.Option2->isChecked())
        return false;
    const Countdown state = countdownState(f);
    return state == Countdown::Running || state == Countdown::Due;
}

std::optional<QDateTime> alarms::alarmDeadline(const frmPlayer &f)
{
    // The fields show the steps of the last tick, and only the ticks after it take more: each
    // second after its second. The time of day is compared for each second after it too.
    const QDateTime from = f.lastTickWall.isValid() ? f.lastTickWall : f.clock().now();
    if (f.Option1->isChecked())
        return nextShowing(f.Text2->text(), from);
    const std::optional<Fields> fields = fieldNumbers(f);
    if (!f.Option2->isChecked() || !fields)
        return std::nullopt;
    const Countdown state = stateOf(*fields, f.blnAlarmEdited);
    const std::optional<double> steps = stepsToZero(*fields);
    if ((state != Countdown::Running && state != Countdown::Due) || !steps)
        return std::nullopt;
    // A tick in each second from the next one on takes a step, and the tick after the last
    // step sounds. Beyond a century it matters not how far.
    constexpr double century = 100.0 * 366 * 24 * 3600;
    const QDateTime second = from.addMSecs(-from.time().msec());
    return second.addSecs(qint64(std::min(*steps, century)) + 1);
}

bool alarms::countdownStep(frmPlayer &f)
{
    const std::optional<Fields> fields = fieldNumbers(f);
    if (!fields)
        return false;
    if (stateOf(*fields, f.blnAlarmEdited) == Countdown::Due) {
        // Without a song it stays due, and every tick tries again.
        if (!soundAlarm(f))
            return false;
        f.blnAlarmEdited = false;
    }
    // Each write raises the field's change event at once, which arms the countdown again.
    const auto [h, m, s] = *fields;
    const QString borrowed = QStringLiteral("59");
    if (s > 0) {
        f.Text5->setText(countdown::fieldText(s - 1));
    } else if (m > 0) {
        f.Text4->setText(countdown::fieldText(m - 1));
        f.Text5->setText(borrowed);
    } else if (h > 0) {
        f.Text3->setText(countdown::fieldText(h - 1));
        f.Text4->setText(borrowed);
        f.Text5->setText(borrowed);
    } else {
        return false;
    }
    return true;
}

void alarms::publishSetting(frmPlayer &f)
{
    f.alarmSetting().update(alarmIsSet(f), alarmDeadline(f), f.lastTickWall);
}

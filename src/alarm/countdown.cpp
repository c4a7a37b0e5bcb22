#include "alarm/countdown.h"

#include "alarm/alarm.h"
#include "main/frmplayer.h"

#include <QLocale>

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

bool alarms::countdownStep(frmPlayer &f)
{
    const std::array<QString, 3> texts {f.Text3->text(), f.Text4->text(), f.Text5->text()};
    for (const QString &text : texts)
        if (text.isEmpty())
            return false;
    // All three are converted at every step; one that is no number rests the countdown
    // as an empty field does.
    const std::array<std::optional<double>, 3> numbers {countdown::fieldNumber(texts[0]),
                                                        countdown::fieldNumber(texts[1]),
                                                        countdown::fieldNumber(texts[2])};
    for (const auto &number : numbers)
        if (!number)
            return false;
    const double h = *numbers[0];
    const double m = *numbers[1];
    const double s = *numbers[2];
    if (h == 0 && m == 0 && s == 0 && f.blnAlarmEdited) {
        // Without a song it stays due, and every tick tries again.
        if (!soundAlarm(f))
            return false;
        f.blnAlarmEdited = false;
    }
    // Each write raises the field's change event at once, which arms the countdown again.
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

// SPDX-License-Identifier: GPL-3.0-or-later
// The countdown fields' numbers: any text a user can type is read as a finite number or as
// none, and a number written back reads as the same number again.
#include "alarm/countdown.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Written with 15 significant digits, a number reads back within the last of those digits.
bool close(double a, double b)
{
    return a == b || std::fabs(a - b) <= 1e-14 * std::fmax(std::fabs(a), std::fabs(b));
}

void roundTrip(double number)
{
    const QString text = countdown::fieldText(number);
    check(!text.contains(QLocale().groupSeparator()) || text.contains(u'e'));
    const auto again = countdown::fieldNumber(text);
    check(again.has_value() && close(*again, number));
    // Written once more, the text no longer changes.
    check(countdown::fieldText(*again) == text);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the user's locale: a point or a comma as the decimal sign.
    static const QLocale locales[] {QLocale(QLocale::English, QLocale::UnitedStates),
                                    QLocale(QLocale::German, QLocale::Germany),
                                    QLocale(QLocale::French, QLocale::France)};
    QLocale::setDefault(locales[data[0] % 3]);
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    const auto number = countdown::fieldNumber(text);
    if (!number)
        return 0;
    check(std::isfinite(*number));
    roundTrip(*number);
    // The countdown's step: one second off, written back as text the next tick reads again.
    if (std::isfinite(*number - 1))
        roundTrip(*number - 1);
    return 0;
}

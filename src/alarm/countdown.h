// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// The numbers of the countdown fields, read and written with the default locale.
namespace countdown {
// The number a field's text holds: the locale's conversion of text to a double, blanks
// around it allowed ("05", " 5 ", "1.5", "-2", "1e3"). Empty when the text is no number,
// and when it is not finite ("inf", "nan", a number too large for a double).
std::optional<double> fieldNumber(const QString &text);
// The text a field is given for a number: 15 significant digits, no group separators
// (3599, 0.5, -0.5, 1234567).
QString fieldText(double number);
} // namespace countdown

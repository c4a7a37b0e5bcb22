// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>
#include <QString>

// What a screen reader is told beyond Qt's own accessibility of each widget.

// The clock's text box. Its text is rewritten every second; as a text box, each rewrite would
// be read aloud while it has the focus. It presents itself as a display instead: its text is
// read when the focus comes to it or when the reader is asked, never at each change.
class ClockField : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;
};

namespace accessibility {
// Makes the window a frame named by its title, the picture boxes pictures and the clock a
// display. Safe to call again; call it before the window is made.
void install();
// Has a screen reader say the text at once, wherever the focus is, as it says the desktop's
// notifications: for what the window changes by itself, such as the song that starts.
void announce(QWidget *window, const QString &text);
} // namespace accessibility

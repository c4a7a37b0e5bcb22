// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

class QWidget;

// The window's fonts, chosen among the installed families by measuring its captions.

// `family` when it is installed, otherwise `substitute`. Asked for a family it lacks, Qt
// searches every installed font for the nearest one, which is slow.
QString installedFamily(const QString &family, const QString &substitute);

// True when the caption of a label or push button, drawn in `font`, lies inside the control
// and ends at least 2 pixels before its right edge. A label draws its caption where its
// alignment puts it, a button in its middle (and so 2 pixels inside either edge).
bool captionFits(const QWidget *control, const QFont &font);

// The font for the window's captions: the largest pixel size from 11 (the size the layout was
// made for) down to 8, and at that size the desktop's own family or else Liberation Sans (the
// metrics of Arial, narrower than DejaVu Sans), at which every caption of a label or button
// that takes the window's font fits (captionFits). Where none fits, the desktop's family at 8
// pixels.
QFont captionFont(const QWidget &window);

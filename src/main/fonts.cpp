// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/fonts.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int margin = 2;
constexpr int largestPixelSize = 11;
constexpr int smallestPixelSize = 8;

// The caption of a label or push button; empty for other controls.
QString captionText(const QWidget *control)
{
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (const auto *button = qobject_cast<const QPushButton *>(control))
        return button->text();
    return {};
}

// Where the control lays out its caption in `font`: a label by its alignment inside its
// contents, a button in its middle.
QRect captionRect(const QWidget *control, const QFont &font)
{
    const auto *label = qobject_cast<const QLabel *>(control);
    const QRect box = label ? label->contentsRect() : control->rect();
    const Qt::Alignment alignment = label ? label->alignment() : Qt::AlignCenter;
    return control->style()->itemTextRect(QFontMetrics(font, control), box, alignment, true,
                                          captionText(control));
}

} // namespace

QString installedFamily(const QString &family, const QString &substitute)
{
    return QFontDatabase::families().contains(family) ? family : substitute;
}

bool captionFits(const QWidget *control, const QFont &font)
{
    const QRect inside = control->rect().adjusted(0, 0, -margin, 0);
    return captionText(control).isEmpty() || inside.contains(captionRect(control, font));
}

QFont captionFont(const QWidget &window)
{
    QList<const QWidget *> captioned;
    for (const QWidget *w : window.findChildren<const QWidget *>())
        if (!captionText(w).isEmpty() && !w->testAttribute(Qt::WA_SetFont))
            captioned << w;
    QStringList families {window.font().family()};
    if (QFontDatabase::families().contains(QStringLiteral("Liberation Sans")))
        families << QStringLiteral("Liberation Sans");
    QFont font = window.font();
    for (int pixels = largestPixelSize; pixels >= smallestPixelSize; --pixels)
        for (const QString &family : families) {
            font.setFamily(family);
            font.setPixelSize(pixels);
            if (std::all_of(captioned.cbegin(), captioned.cend(),
                            [&](const QWidget *w) { return captionFits(w, font); }))
                return font;
        }
    font.setFamily(families.first());
    return font;
}

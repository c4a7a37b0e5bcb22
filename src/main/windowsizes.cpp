// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/windowsizes.h"

#include "main/controls.h"
#include "main/frmplayer.h"
#include "platform/int16.h"

namespace {

// Outer sizes in twips, frame and title bar included. Each handler tells the sizes apart by
// the outer height alone.
struct OuterSize
{
    int width;
    int height;
};
constexpr OuterSize normalSize {4500, 2910}; // the alarm panel
constexpr OuterSize enlargedSize {6705, 5580}; // with the browser and the playlist
constexpr OuterSize fullSize {12705, 4125}; // the layout as designed, Picture3 too
constexpr int panelWidth = 6870;
constexpr int tallPanelHeight = 3855;
constexpr int shortPanelHeight = 1410;
// The one click on Picture1 that can open the full size.
constexpr int fullSizeClick = 100;

constexpr int greyText = 17;
constexpr int buttonText = 18;

void setHeightThenWidth(frmPlayer &f, OuterSize size)
{
    f.setOuterHeight(size.height);
    f.setOuterWidth(size.width);
}

void setLblHideColour(frmPlayer &f, int systemColourIndex)
{
    const QColor colour = systemColour(systemColourIndex);
    QPalette p = f.lblHide->palette();
    // Every mouse move over the window comes here.
    if (p.color(QPalette::WindowText) == colour)
        return;
    p.setColor(QPalette::WindowText, colour);
    f.lblHide->setPalette(p);
}

} // namespace

void windowsizes::Command2Clicked(frmPlayer &f)
{
    const bool enlarged = f.outerHeight() == enlargedSize.height;
    setHeightThenWidth(f, enlarged ? normalSize : enlargedSize);
    f.setWindowTitle(enlarged ? QStringLiteral("V") : QStringLiteral("up"));
}

void windowsizes::Picture1Clicked(frmPlayer &f)
{
    increment(f.intClicks);
    if (f.outerHeight() == normalSize.height && f.intClicks == fullSizeClick) {
        setHeightThenWidth(f, fullSize);
    } else {
        f.setOuterWidth(normalSize.width);
        f.setOuterHeight(normalSize.height);
    }
}

void windowsizes::lblHideClicked(frmPlayer &f)
{
    f.setOuterHeight(f.outerHeight() == tallPanelHeight ? shortPanelHeight : tallPanelHeight);
    f.setOuterWidth(panelWidth);
}

void windowsizes::lblHideMouseMoved(frmPlayer &f)
{
    setLblHideColour(f, greyText);
}

void windowsizes::formMouseMoved(frmPlayer &f)
{
    setLblHideColour(f, buttonText);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/windows/windowsdesktop.h"

#include "platform/host/machine.h"

#include <QtGlobal>

void TrayNotifier::notify(const QString &summary, const QString &body)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_icon.setToolTip(summary);
    m_icon.show();
    m_icon.showMessage(summary, body, QSystemTrayIcon::Warning);
}

MachinePower WindowsDesktop::power()
{
    return {m_withoutWake, m_whileSet, m_whileDue, m_wakeTimer};
}

void Machine::prepareApplication()
{
    // Text drawn by DirectWrite, Windows' own text engine (Qt's default from 6.8 on): Qt 6.4's
    // GDI engine draws no text in a line edit under Wine, where the Windows build is tried.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=directwrite");
    // The window's colours are its own (green on black, a yellow V), which Windows' native
    // style paints over with its theme; Fusion keeps them, as on Linux.
    if (qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE"))
        qputenv("QT_STYLE_OVERRIDE", "fusion");
}

std::unique_ptr<Desktop> Machine::startDesktop(const TransportStatus &, TransportCommands &)
{
    return std::make_unique<WindowsDesktop>();
}

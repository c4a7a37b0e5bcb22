#pragma once

#include "desktop/buslink.h"
#include "desktop/inhibitor.h"
#include "desktop/mprisservice.h"
#include "desktop/silenceguard.h"

#include <QMediaDevices>
#include <QObject>

#include <memory>

class frmPlayer;

// Wakewell on the desktop, beside the window: the inhibitor held while an alarm is set, the
// MPRIS service of the media keys, and the guard against a silent alarm. It reads the
// window's state after its handlers and changes it only through them; made after the window
// and destroyed before it.
class DesktopIntegration : public QObject
{
    Q_OBJECT

public:
    DesktopIntegration(frmPlayer &f, const BusAddresses &buses, DriveTable drives,
                       std::unique_ptr<TonePlayer> tone, QObject *parent = nullptr);
    ~DesktopIntegration() override;

    const Inhibitor &inhibitor() const { return m_inhibitor; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void alarmSettingChanged();
    void shutdown();

    frmPlayer &m_f;
    BusLink m_session;
    Inhibitor m_inhibitor;
    MprisService m_mpris;
    SilenceGuard m_guard;
    // Tells the guard when the machine's audio outputs change.
    QMediaDevices m_devices;
    bool m_closed = false;
};

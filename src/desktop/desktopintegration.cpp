#include "desktop/desktopintegration.h"

#include "alarm/alarm.h"
#include "main/frmplayer.h"

#include <QEvent>

DesktopIntegration::DesktopIntegration(frmPlayer &f, const BusAddresses &buses, DriveTable drives,
                                       std::unique_ptr<TonePlayer> tone, QObject *parent)
    : QObject(parent), m_f(f), m_session(buses.session), m_inhibitor(m_session, buses.system),
      m_mpris(f, m_session, std::move(drives), QStringLiteral(WAKEWELL_APP_ID)),
      m_guard(f, std::move(tone))
{
    // Whether an alarm is set changes with the options and Text2, which have no handlers,
    // and with the handlers of the countdown fields and of the tick, which disarms the
    // countdown when it fires.
    connect(m_f.Option1, &QRadioButton::toggled, this, &DesktopIntegration::alarmSettingChanged);
    connect(m_f.Option2, &QRadioButton::toggled, this, &DesktopIntegration::alarmSettingChanged);
    connect(m_f.Text2, &QLineEdit::textChanged, this, &DesktopIntegration::alarmSettingChanged);
    connect(&m_f, &frmPlayer::handlerEnded, this, &DesktopIntegration::alarmSettingChanged);
    connect(&m_devices, &QMediaDevices::audioOutputsChanged, &m_guard,
            &SilenceGuard::audioOutputsChanged);
    m_f.installEventFilter(this);
    alarmSettingChanged();
}

DesktopIntegration::~DesktopIntegration()
{
    shutdown();
}

void DesktopIntegration::alarmSettingChanged()
{
    if (!m_closed)
        m_inhibitor.setHeld(alarms::alarmIsSet(m_f));
}

bool DesktopIntegration::eventFilter(QObject *watched, QEvent *event)
{
    // Before the window's own close handling, which releases the player and the playlist.
    if (watched == &m_f && event->type() == QEvent::Close)
        shutdown();
    return QObject::eventFilter(watched, event);
}

void DesktopIntegration::shutdown()
{
    if (m_closed)
        return;
    m_closed = true;
    m_inhibitor.setHeld(false);
    m_mpris.shutdown();
    m_guard.shutdown();
}

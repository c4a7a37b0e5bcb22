// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktoptest.h"
#include "fakes/fakepower.h"
#include "platform/windows/windowsdesktop.h"
#include "watch/alarmwatch.h"

#include <QElapsedTimer>

#include <windows.h>

// Windows kept awake while an alarm is set and while it rings, through the window's thread's
// execution state, and woken for it by a waitable timer.
class TestExecutionState : public QObject, public DesktopTest
{
    Q_OBJECT

    // The execution state that this thread has set, read without changing it.
    static EXECUTION_STATE held() { return SetThreadExecutionState(0); }

private slots:
    void heldWhileAnAlarmIsSet()
    {
        startHeldWithThreeSongs();
        ToneRecord tone;
        WindowsDesktop desktop;
        AlarmWatch watch(m_window->alarmSetting(), m_window->transportStatus(), *m_window, desktop,
                         std::make_unique<FakeTone>(tone));
        const EXECUTION_STATE awake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;

        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        QCOMPARE(held(), awake);
        retype("Text2", QString());
        QCOMPARE(held(), EXECUTION_STATE(ES_CONTINUOUS));
        setCountdown(QStringLiteral("1"));
        QCOMPARE(held(), awake);
        // The countdown fires: no alarm is set any more, yet its music plays until Stop Song.
        ticks(2);
        QCOMPARE(m_record.opened.size(), 1);
        QCOMPARE(held(), awake);
        click("Command1");
        QCOMPARE(held(), EXECUTION_STATE(ES_CONTINUOUS));

        // The screen may always turn off: the display is never required.
        setTimeAlarm(QStringLiteral("7:00:00 AM"));
        QCOMPARE(held() & ES_DISPLAY_REQUIRED, EXECUTION_STATE(0));
        m_window->close();
        QCOMPARE(held(), EXECUTION_STATE(ES_CONTINUOUS));
        stop();
    }

    // The waitable timer of a countdown, through the window: armed a minute before it sounds,
    // though no nearer than the nearest wake; here the fake clock runs behind the real one by
    // 3 s less than that, so that the timer comes due 3 s from now. It fires, and neither at
    // once nor late.
    // Once cancelled or moved on, it does not fire where it was.
    void waitableTimerFires()
    {
        m_clock.wall = QDateTime::currentDateTime().addSecs(3 - WakeSchedule::nearestSeconds);
        startHeldWithThreeSongs();
        FakePower power;
        WaitableWakeTimer timer;
        power.timer = &timer;
        const std::unique_ptr<AlarmWatch> watch = power.watch(*m_window);
        QElapsedTimer elapsed;
        elapsed.start();
        setCountdown(QStringLiteral("62"));
        QCOMPARE(WaitForSingleObject(timer.handle(), 0), DWORD(WAIT_TIMEOUT));
        QCOMPARE(WaitForSingleObject(timer.handle(), 60'000), DWORD(WAIT_OBJECT_0));
        QVERIFY2(elapsed.elapsed() > 1000, qPrintable(QString::number(elapsed.elapsed())));

        const QDateTime alarm = QDateTime::currentDateTimeUtc().addSecs(7200);
        timer.arm(QDateTime::currentDateTimeUtc().addSecs(1), alarm);
        timer.cancel();
        timer.arm(QDateTime::currentDateTimeUtc().addSecs(3600), alarm);
        QCOMPARE(WaitForSingleObject(timer.handle(), 3000), DWORD(WAIT_TIMEOUT));
        timer.arm(QDateTime::currentDateTimeUtc().addSecs(1), alarm);
        QCOMPARE(WaitForSingleObject(timer.handle(), 60'000), DWORD(WAIT_OBJECT_0));
        m_window->close();
        stop();
    }
};

QTEST_MAIN(TestExecutionState)
#include "test_executionstate.moc"

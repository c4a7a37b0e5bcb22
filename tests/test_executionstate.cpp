// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/alarmwatch.h"
#include "desktop/executionstate.h"
#include "desktoptest.h"
#include "fakes/faketone.h"

#include <windows.h>

// Windows kept awake while an alarm is set, through the window's thread's execution state.
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
        ExecutionState keepAwake;
        AlarmWatch watch(*m_window, keepAwake, std::make_unique<FakeTone>(tone));
        const EXECUTION_STATE awake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;

        setTimeAlarm(QStringLiteral("6:30:00 AM"));
        QCOMPARE(held(), awake);
        retype("Text2", QString());
        QCOMPARE(held(), EXECUTION_STATE(ES_CONTINUOUS));
        setCountdown(QStringLiteral("1"));
        QCOMPARE(held(), awake);
        // The countdown fires: no alarm is set any more.
        ticks(2);
        QCOMPARE(m_record.opened.size(), 1);
        QCOMPARE(held(), EXECUTION_STATE(ES_CONTINUOUS));

        // The screen may always turn off: the display is never required.
        setTimeAlarm(QStringLiteral("7:00:00 AM"));
        QCOMPARE(held() & ES_DISPLAY_REQUIRED, EXECUTION_STATE(0));
        m_window->close();
        QCOMPARE(held(), EXECUTION_STATE(ES_CONTINUOUS));
        stop();
    }
};

QTEST_MAIN(TestExecutionState)
#include "test_executionstate.moc"

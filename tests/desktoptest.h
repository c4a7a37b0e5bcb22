// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "playbacktest.h"

#include <QRadioButton>

// The window of PlaybackTest, with the alarms set by keys and clicks.
class DesktopTest : public PlaybackTest
{
protected:
    // Three songs, with Timer2 held from then on: the clock ticks only when the test calls
    // tick(). Until then it ticked at most at the fake clock's one time, before any alarm.
    void startHeldWithThreeSongs()
    {
        startWithThreeSongs();
        m_window->Timer2->stop();
    }

    // Selects the alarm at a time of day and types its time.
    void setTimeAlarm(const QString &time)
    {
        QTest::mouseClick(child<QRadioButton>("Option1"), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>("Text2"), time);
    }

    // Selects the countdown and types its seconds over the field's text, which arms it: with
    // "0" it is due at the next tick.
    void setCountdown(const QString &seconds)
    {
        QTest::mouseClick(child<QRadioButton>("Option2"), Qt::LeftButton);
        retype("Text5", seconds);
    }

    // Empties the field by keys, then types text into it.
    void retype(const char *field, const QString &text)
    {
        auto *edit = child<QLineEdit>(field);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
};

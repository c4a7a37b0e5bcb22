// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/ticktiming.h"
#include "alarm/timetext.h"
#include "fakes/fakepower.h"
#include "fakes/windowtest.h"

// When the tick runs and what it makes up for, on times around a whole second, jumps of
// the wall clock, suspends and daylight saving. Runs with TZ=Europe/Berlin.
class TestTickTiming : public QObject, public WindowTest
{
    Q_OBJECT

    static QDateTime at(QTime time, QDate date = QDate(2026, 12, 8)) { return {date, time}; }

    // Ticks one second apart until the wall clock reaches end; the number of times the
    // playlist was started.
    int ringsUntil(const QDateTime &end)
    {
        while (m_clock.wall < end)
            ticks(1);
        return int(m_record.opened.size());
    }
    void startWithAlarm(const QString &alarm)
    {
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\a.mp3");
        startHeld();
        addToPlaylist("C:\\Music", {"a.mp3"});
        QTest::mouseClick(m_window->Option1, Qt::LeftButton);
        QTest::keyClicks(m_window->Text2, alarm);
    }

private slots:
    void init() { }
    void cleanup() { stop(); }

    void msUntilNextTick_data()
    {
        QTest::addColumn<int>("intoSecondMs");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("at the whole second") << 0 << 1020;
        QTest::newRow("just after") << 1 << 1019;
        QTest::newRow("at the tick's own moment") << 20 << 1000;
        QTest::newRow("late") << 500 << 520;
        QTest::newRow("just before the next") << 999 << 21;
    }

    void msUntilNextTick()
    {
        QFETCH(int, intoSecondMs);
        QFETCH(int, delayMs);
        QCOMPARE(ticktiming::msUntilNextTick(at(QTime(6, 0, 0, intoSecondMs))), delayMs);
    }

    void secondsToCompare_data()
    {
        QTest::addColumn<QDateTime>("previous");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QTime>("first"); // null: none
        QTest::addColumn<int>("count");
        const QTime six(6, 0, 0);
        QTest::newRow("first tick") << QDateTime() << at(QTime(6, 0, 0, 5)) << six << 1;
        QTest::newRow("one second on")
            << at(QTime(5, 59, 59, 20)) << at(QTime(6, 0, 0, 20)) << six << 1;
        QTest::newRow("early, before the whole second")
            << at(QTime(5, 59, 59, 20)) << at(QTime(5, 59, 59, 999)) << QTime() << 0;
        QTest::newRow("at the whole second")
            << at(QTime(5, 59, 59, 999)) << at(QTime(6, 0, 0, 0)) << six << 1;
        QTest::newRow("just after")
            << at(QTime(5, 59, 59, 20)) << at(QTime(6, 0, 0, 1)) << six << 1;
        QTest::newRow("held up 3 s")
            << at(QTime(5, 59, 59, 20)) << at(QTime(6, 0, 2, 500)) << six << 3;
        QTest::newRow("set forward 30 s")
            << at(QTime(5, 59, 59, 20)) << at(QTime(6, 0, 29, 20)) << six << 30;
        QTest::newRow("suspended 10 min")
            << at(QTime(5, 50, 0, 20)) << at(QTime(6, 0, 59, 20)) << QTime(5, 50, 1) << 659;
        QTest::newRow("suspended 40 min, the last 30 min only")
            << at(QTime(5, 20, 0, 20)) << at(QTime(6, 0, 59, 20)) << QTime(5, 31, 0) << 1800;
        QTest::newRow("set back an hour")
            << at(QTime(7, 0, 0, 20)) << at(QTime(6, 0, 0, 30)) << six << 1;
        // The clock repeats a second: the tick compares it again, as the clock shows it.
        QTest::newRow("set back into the previous second")
            << at(QTime(6, 0, 1, 20)) << at(QTime(6, 0, 0, 520)) << six << 1;
        QTest::newRow("set back within the second")
            << at(QTime(6, 0, 0, 520)) << at(QTime(6, 0, 0, 20)) << QTime() << 0;
        QTest::newRow("past midnight")
            << at(QTime(23, 59, 59, 20)) << at(QTime(0, 0, 1, 20), QDate(2026, 12, 9))
            << QTime(0, 0, 0) << 2;
    }

    void secondsToCompare()
    {
        QFETCH(QDateTime, previous);
        QFETCH(QDateTime, now);
        QFETCH(QTime, first);
        QFETCH(int, count);
        QList<QTime> expected;
        for (int i = 0; i < count; ++i)
            expected << first.addSecs(i);
        QCOMPARE(ticktiming::secondsToCompare(previous, now), expected);
    }

    void extraCountdownSteps_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<int>("previousMsIntoSecond");
        QTest::addColumn<qint64>("steps");
        QTest::newRow("ordinary tick") << qint64(1000) << 20 << qint64(0);
        QTest::newRow("early") << qint64(980) << 20 << qint64(0);
        QTest::newRow("late") << qint64(1499) << 20 << qint64(0);
        // One second crossed: the tick back on the phase takes the next one.
        QTest::newRow("half a second late") << qint64(1500) << 20 << qint64(0);
        QTest::newRow("back on the phase") << qint64(500) << 520 << qint64(0);
        QTest::newRow("late after a late one") << qint64(1900) << 600 << qint64(1);
        QTest::newRow("held up 3 s") << qint64(3020) << 20 << qint64(2);
        QTest::newRow("suspended 10 min") << qint64(600'000) << 20 << qint64(599);
        // The first tick after a resume comes where the timer's time ran out, mid-second; the
        // countdown must not run a second ahead of the clock for it.
        QTest::newRow("woken mid-second") << qint64(90'580) << 20 << qint64(89);
        QTest::newRow("close behind") << qint64(20) << 20 << qint64(0);
    }

    void extraCountdownSteps()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(int, previousMsIntoSecond);
        QFETCH(qint64, steps);
        QCOMPARE(ticktiming::extraCountdownSteps(elapsedMs, previousMsIntoSecond), steps);
    }

    void timeTextHasNoZoneAndPlainSpaces()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(alarms::timeText(QTime(15, 34, 0)), QStringLiteral("3:34:00 PM"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(alarms::timeText(QTime(15, 34, 0)), QStringLiteral("15:34:00"));
        // Locales that put other characters around the zone, or a no-break space in.
        for (const QLocale &locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            QLocale::setDefault(locale);
            const QString text = alarms::timeText(QTime(15, 34, 0));
            QVERIFY2(!text.contains(QChar(0x00A0)) && !text.contains(QChar(0x202F))
                         && text == text.trimmed() && !text.contains(u'(') && !text.contains(u'[')
                         && !text.endsWith(u','),
                     qPrintable(locale.name() + QStringLiteral(": ") + text));
        }
    }

    void withoutTimeZone_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("at the end") << "h:mm:ss AP t"
                                    << "h:mm:ss AP";
        QTest::newRow("in brackets") << "HH:mm:ss (t)"
                                     << "HH:mm:ss";
        QTest::newRow("after a comma") << "h:mm:ss AP, t"
                                       << "h:mm:ss AP";
        QTest::newRow("t inside a quote stays") << "'kl'. HH:mm:ss t"
                                                << "'kl'. HH:mm:ss";
        QTest::newRow("quoted t") << "H 'h' mm 'min' ss 'st' t"
                                  << "H 'h' mm 'min' ss 'st'";
    }

    void withoutTimeZone()
    {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(alarms::withoutTimeZone(format), expected);
    }

    // On the night the clock goes back, the repeated hour rings twice; on the night it
    // goes forward, the skipped hour never rings. The computer is woken a minute before the
    // next ring (UTC): the repeated hour's first showing, the day after for the skipped hour;
    // after the night, for the next day's.
    void daylightSaving_data()
    {
        QTest::addColumn<QDate>("night");
        QTest::addColumn<QString>("alarm");
        QTest::addColumn<int>("rings");
        QTest::addColumn<QString>("wake");
        QTest::addColumn<QString>("wakeAfter");
        QTest::newRow("repeated hour")
            << QDate(2026, 10, 25) << "2:30:00 AM" << 2 << "2026-10-25T00:29:00Z"
            << "2026-10-26T01:29:00Z";
        QTest::newRow("after the repeated hour")
            << QDate(2026, 10, 25) << "3:30:00 AM" << 1 << "2026-10-25T02:29:00Z"
            << "2026-10-26T02:29:00Z";
        QTest::newRow("skipped hour")
            << QDate(2026, 3, 29) << "2:30:00 AM" << 0 << "2026-03-30T00:29:00Z"
            << "2026-03-30T00:29:00Z";
        QTest::newRow("after the skipped hour")
            << QDate(2026, 3, 29) << "3:30:00 AM" << 1 << "2026-03-29T01:29:00Z"
            << "2026-03-30T01:29:00Z";
    }

    void daylightSaving()
    {
        QFETCH(QDate, night);
        QFETCH(QString, alarm);
        QFETCH(int, rings);
        QFETCH(QString, wake);
        QFETCH(QString, wakeAfter);
        m_clock.wall = at(QTime(1, 0, 0, 20), night);
        FakePower power;
        startWithAlarm(QString());
        const std::unique_ptr<AlarmWatch> watch = power.watch(*m_window);
        QTest::keyClicks(m_window->Text2, alarm);
        QCOMPARE(power.wake.calls.size(), 1);
        QCOMPARE(power.wake.calls.last(), QStringLiteral("arm ") + wake);
        QCOMPARE(ringsUntil(at(QTime(4, 0), night)), rings);
        QCOMPARE(power.wake.calls.last(), QStringLiteral("arm ") + wakeAfter);
    }

    // Ticks that could not run are made up for on the window: seconds of the last 30 minutes
    // are compared and ring once; older ones are stale.
    void catchUpOnTheWindow_data()
    {
        QTest::addColumn<qint64>("gapMs");
        QTest::addColumn<bool>("bootClockToo"); // false: the wall clock was set
        QTest::addColumn<int>("rings");
        // The tick after the gap comes the gap less 4 s after the alarm's second.
        const qint64 overdue = 4000;
        QTest::newRow("suspended 40 s") << qint64(40'000) << true << 1;
        QTest::newRow("loop held up 5 s") << qint64(5000) << true << 1;
        QTest::newRow("75 s overdue") << 75'000 + overdue << true << 1;
        QTest::newRow("10 min overdue") << 600'000 + overdue << true << 1;
        QTest::newRow("29 min overdue") << 1'740'000 + overdue << true << 1;
        QTest::newRow("31 min overdue, stale") << 1'860'000 + overdue << true << 0;
        QTest::newRow("a day, stale") << qint64(86'400'000) << true << 0;
        QTest::newRow("a day and 10 s, across two alarm seconds")
            << qint64(86'410'000) << true << 1;
        QTest::newRow("set forward 30 s") << qint64(30'000) << false << 1;
        QTest::newRow("set forward 2 h") << qint64(7'200'000) << false << 0;
    }

    // The alarm is at 6:00:10 AM; the gap starts at 6:00:05 AM.
    void catchUpOnTheWindow()
    {
        QFETCH(qint64, gapMs);
        QFETCH(bool, bootClockToo);
        QFETCH(int, rings);
        startWithAlarm("6:00:10 AM");
        ticks(5);
        if (bootClockToo)
            m_clock.advance(gapMs);
        else
            m_clock.wall = m_clock.wall.addMSecs(gapMs);
        ticks(1);
        QCOMPARE(m_record.opened.size(), rings);
        QCOMPARE(m_window->Text1->text(), alarms::timeText(m_clock.wall.time()));
        ticks(3);
        QCOMPARE(m_record.opened.size(), rings);
    }
};

QTEST_MAIN(TestTickTiming)
#include "test_ticktiming.moc"

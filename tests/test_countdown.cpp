// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/countdown.h"
#include "fakes/windowtest.h"

// The countdown of Text3 (hours), Text4 (minutes) and Text5 (seconds), ticked with the fake
// clock, and the conversions of its numbers.
class TestCountdown : public QObject, public WindowTest
{
    Q_OBJECT

    QStringList fields() const
    {
        return {m_window->Text3->text(), m_window->Text4->text(), m_window->Text5->text()};
    }
    // Types the text into a field as a user would, over what it held.
    static void type(QLineEdit *field, const QString &text)
    {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }
    void startCountdown(const QStringList &hms, bool withSong = true)
    {
        startHeld();
        if (withSong)
            addToPlaylist("C:\\Music", {"a.mp3"});
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        type(m_window->Text3, hms[0]);
        type(m_window->Text4, hms[1]);
        type(m_window->Text5, hms[2]);
    }
    // Ticks until the playlist starts, at most limit times: the number of the tick that
    // started it, or 0.
    int ticksUntilSounding(int limit)
    {
        for (int n = 1; n <= limit; ++n) {
            ticks(1);
            if (!m_record.opened.isEmpty())
                return n;
        }
        return 0;
    }

private slots:
    void init()
    {
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\a.mp3");
    }
    void cleanup() { stop(); }

    void countsDownAndSounds_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("afterOneTick");
        QTest::addColumn<int>("soundsAtTick"); // 0: never
        QTest::addColumn<QStringList>("atTheEnd");
        const QStringList zero {"0", "0", "0"};
        QTest::newRow("3 s") << QStringList {"0", "0", "3"} << QStringList {"0", "0", "2"} << 4
                             << zero;
        QTest::newRow("1 min") << QStringList {"0", "1", "0"} << QStringList {"0", "0", "59"} << 61
                               << zero;
        QTest::newRow("1 h") << QStringList {"1", "0", "0"} << QStringList {"0", "59", "59"} << 3601
                             << zero;
        QTest::newRow("75 s, no carry")
            << QStringList {"0", "0", "75"} << QStringList {"0", "0", "74"} << 76 << zero;
        QTest::newRow("05") << QStringList {"0", "0", "05"} << QStringList {"0", "0", "4"} << 6
                            << zero;
        QTest::newRow("blanks around")
            << QStringList {" 0", "0 ", " 5 "} << QStringList {" 0", "0 ", "4"} << 6
            << QStringList {" 0", "0 ", "0"};
        QTest::newRow("7200, no group separator")
            << QStringList {"0", "0", "7200"} << QStringList {"0", "0", "7199"} << 7201 << zero;
        QTest::newRow("-5 s borrows")
            << QStringList {"0", "1", "-5"} << QStringList {"0", "0", "59"} << 61 << zero;
        QTest::newRow("1.5 s gets stuck")
            << QStringList {"0", "0", "1.5"} << QStringList {"0", "0", "0.5"} << 0
            << QStringList {"0", "0", "-0.5"};
        QTest::newRow("-2 s stuck") << QStringList {"0", "0", "-2"} << QStringList {"0", "0", "-2"}
                                    << 0 << QStringList {"0", "0", "-2"};
    }

    void countsDownAndSounds()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, afterOneTick);
        QFETCH(int, soundsAtTick);
        QFETCH(QStringList, atTheEnd);
        startCountdown(typed);
        ticks(1);
        QCOMPARE(fields(), afterOneTick);
        const int later = ticksUntilSounding(soundsAtTick ? soundsAtTick : 10);
        QCOMPARE(later ? later + 1 : 0, soundsAtTick);
        QCOMPARE(fields(), atTheEnd);
        ticks(3);
        QCOMPARE(m_record.opened.size(), soundsAtTick ? 1 : 0);
        QCOMPARE(fields(), atTheEnd);
    }

    // Ten hours: the fields reach zero at tick 36000 and the playlist starts at the next,
    // between 36000 and 36001 seconds after the countdown was typed.
    void tenHoursSoundsAtTickNPlusOne()
    {
        startCountdown({"10", "0", "0"});
        const QDateTime typed = m_clock.wall;
        QCOMPARE(ticksUntilSounding(36001), 36001);
        const qint64 ms = typed.msecsTo(m_clock.wall);
        QVERIFY2(ms >= 36'000'000 && ms <= 36'001'000, qPrintable(QString::number(ms)));
    }

    // Pause pressed while nothing plays (the hidden button, reached with Tab, or the media
    // key) leaves nothing paused: the countdown then opens song 1, not "resumes" nothing.
    void pauseWhileIdleThenSounds()
    {
        startCountdown({"0", "0", "2"});
        m_window->cmdPause->setFocus();
        QTest::keyClick(m_window->cmdPause, Qt::Key_Space);
        QCOMPARE(m_window->mpPlayer().PlayState(), MediaPlayer::Stopped);
        QCOMPARE(ticksUntilSounding(5), 3);
        QCOMPARE(m_record.opened, QStringList {"C:\\Music\\a.mp3"});
        QCOMPARE(m_window->mpPlayer().PlayState(), MediaPlayer::Playing);
    }

    void restsUntilArmedAfterLoad()
    {
        startHeld();
        addToPlaylist("C:\\Music", {"a.mp3"});
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        ticks(3);
        QVERIFY(m_record.opened.isEmpty());
    }

    // Editing a field back to zero arms the countdown again, in either mode.
    void rearmedByEditingBackToZero()
    {
        startCountdown({"0", "0", "0"});
        QCOMPARE(ticksUntilSounding(1), 1);
        ticks(2);
        type(m_window->Text4, "");
        type(m_window->Text4, "0");
        ticks(1);
        QCOMPARE(m_record.opened.size(), 2);

        QTest::mouseClick(m_window->Option1, Qt::LeftButton);
        type(m_window->Text5, "00");
        ticks(2);
        QCOMPARE(m_record.opened.size(), 2);
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        ticks(1);
        QCOMPARE(m_record.opened.size(), 3);
    }

    // A field that is empty or holds no number stops the countdown where it stands, with no
    // message; a number lets it go on.
    void restsOnFieldWithoutNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "abc";
        QTest::newRow("lone blank") << " ";
        QTest::newRow("too large") << "1e400";
        QTest::newRow("inf") << "inf";
        QTest::newRow("nan") << "nan";
    }

    void restsOnFieldWithoutNumber()
    {
        QFETCH(QString, text);
        startCountdown({"0", "0", "10"});
        ticks(1);
        type(m_window->Text4, text);
        ticks(3);
        QCOMPARE(fields(), (QStringList {"0", text, "9"}));
        QCoreApplication::processEvents();
        QVERIFY(messageText().isEmpty());
        type(m_window->Text4, "0");
        ticks(1);
        QCOMPARE(fields(), (QStringList {"0", "0", "8"}));
    }

    // Nothing to play leaves the output alone; the song is opened once the output is audible.
    void emptyPlaylistKeepsItDueUntilASongIsAdded()
    {
        startCountdown({"0", "0", "1"}, false);
        m_record.calls.clear();
        ticks(5);
        QCOMPARE(m_record.calls, QStringList());
        QVERIFY(m_window->blnAlarmEdited);
        QCOMPARE(m_window->intSong, 1);
        addToPlaylist("C:\\Music", {"a.mp3"});
        m_record.calls.clear();
        ticks(1);
        QCOMPARE(m_record.calls, (QStringList {"Make audible", "Open C:\\Music\\a.mp3"}));
    }

    void timeOfDayModeFreezesTheFields()
    {
        startCountdown({"0", "0", "10"});
        ticks(2);
        QTest::mouseClick(m_window->Option1, Qt::LeftButton);
        ticks(3);
        QCOMPARE(fields(), (QStringList {"0", "0", "8"}));
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        ticks(1);
        QCOMPARE(fields(), (QStringList {"0", "0", "7"}));
    }

    // The boot clock counts a suspend: the countdown takes the seconds it missed at once. The
    // first tick after the resume comes mid-second, where its timer's time ran out, and the
    // next one back on the second's phase.
    void suspendInTheMiddleSoundsOnTime()
    {
        startCountdown({"0", "20", "0"});
        const QDateTime typed = m_clock.wall;
        ticks(300);
        tickAfter(10 * 60 * 1000 + 580);
        QCOMPARE(fields(), (QStringList {"0", "5", "0"}));
        tickAfter(420);
        QCOMPARE(ticksUntilSounding(300), 300);
        QCOMPARE(typed.secsTo(m_clock.wall), 1201);
    }

    // A countdown due during the suspend sounds once on resume; the wall clock set back
    // an hour moves it by one second only.
    void suspendPastTheEndSoundsOnceOnResume()
    {
        startCountdown({"0", "0", "30"});
        ticks(10);
        tickAfter(10 * 60 * 1000);
        QCOMPARE(m_record.opened.size(), 1);
        QCOMPARE(fields(), (QStringList {"0", "0", "0"}));

        type(m_window->Text5, "30");
        m_clock.wall = m_clock.wall.addSecs(-3600);
        tickAfter(1000);
        QCOMPARE(fields(), (QStringList {"0", "0", "29"}));
    }

    void fieldNumber_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number"); // NaN: no number
        const double none = qQNaN();
        QTest::newRow("whole") << "en_US"
                               << "7200" << 7200.0;
        QTest::newRow("leading zero") << "en_US"
                                      << "05" << 5.0;
        QTest::newRow("blanks around") << "en_US"
                                       << "\t5 " << 5.0;
        QTest::newRow("fraction") << "en_US"
                                  << "1.5" << 1.5;
        QTest::newRow("negative") << "en_US"
                                  << "-2" << -2.0;
        QTest::newRow("exponent") << "en_US"
                                  << "1e3" << 1000.0;
        QTest::newRow("group separator") << "en_US"
                                         << "1,000" << 1000.0;
        QTest::newRow("German fraction") << "de_DE"
                                         << "1,5" << 1.5;
        QTest::newRow("letters") << "en_US"
                                 << "abc" << none;
        QTest::newRow("lone blank") << "en_US"
                                    << " " << none;
        QTest::newRow("trailing letters") << "en_US"
                                          << "5s" << none;
        QTest::newRow("too large") << "en_US"
                                   << "1e400" << none;
        QTest::newRow("inf") << "en_US"
                             << "inf" << none;
        QTest::newRow("nan") << "en_US"
                             << "nan" << none;
    }

    void fieldNumber()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, number);
        QLocale::setDefault(QLocale(locale));
        const auto read = countdown::fieldNumber(text);
        QCOMPARE(read.has_value(), !qIsNaN(number));
        if (read)
            QCOMPARE(*read, number);
    }

    void fieldText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << "en_US" << 9.0 << "9";
        QTest::newRow("no group separator") << "en_US" << 7199.0 << "7199";
        QTest::newRow("seven digits") << "en_US" << 1234567.0 << "1234567";
        QTest::newRow("half") << "en_US" << 0.5 << "0.5";
        QTest::newRow("negative half") << "en_US" << -0.5 << "-0.5";
        QTest::newRow("15 digits") << "en_US" << 1.1 - 1 << "0.1";
        QTest::newRow("German half") << "de_DE" << 0.5 << "0,5";
        QTest::newRow("German thousands") << "de_DE" << 7199.0 << "7199";
    }

    void fieldText()
    {
        QFETCH(QString, locale);
        QFETCH(double, number);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(countdown::fieldText(number), text);
    }
};

QTEST_MAIN(TestCountdown)
#include "test_countdown.moc"

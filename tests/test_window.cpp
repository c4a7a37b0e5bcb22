// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/windowtest.h"
#include "main/controls.h"

#include <QAccessible>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>

// The window as startup leaves it, its controls, the focus order, and shutdown.
class TestWindow : public QObject, public WindowTest
{
    Q_OBJECT

private slots:
    void init() { }
    void cleanup() { stop(); }

    void startupWithoutDrives()
    {
        start();
        QCOMPARE(child<QComboBox>("cmbDrives")->count(), 0);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Wakewell of Your"));
    }

    void startupListsDrivesInOrderWithNoneChosen()
    {
        m_fs.addDrive("C:");
        m_fs.addDrive("E:");
        m_fs.addDrive("D:", false);
        start();
        auto *drives = child<QComboBox>("cmbDrives");
        QCOMPARE(drives->count(), 3);
        QCOMPARE(drives->itemText(0), QStringLiteral("C:"));
        QCOMPARE(drives->itemText(1), QStringLiteral("E:"));
        QCOMPARE(drives->itemText(2), QStringLiteral("D:"));
        QCOMPARE(drives->currentIndex(), -1);
        QCOMPARE(drives->currentText(), QString());
        QVERIFY(m_window->strDrive.isEmpty() && m_window->strFolder.isEmpty());
    }

    void startupState()
    {
        start();
        QCOMPARE(m_window->outerWidth(), 4500);
        QCOMPARE(m_window->outerHeight(), 2910);
        QCOMPARE(m_window->size(), QSize(294, 172));
        QVERIFY(child<QLineEdit>("Text1")->text().isEmpty());
        for (const char *field : {"Text3", "Text4", "Text5"})
            QCOMPARE(child<QLineEdit>(field)->text(), QStringLiteral("0"));
        QVERIFY(!child<QRadioButton>("Option1")->isChecked());
        QVERIFY(!child<QRadioButton>("Option2")->isChecked());
        QVERIFY(child<QTimer>("Timer2")->isActive());
        QVERIFY(!child<QTimer>("Timer1")->isActive());
        QCOMPARE(child<QTimer>("Timer1")->interval(), 3000);
        QVERIFY(child<QLineEdit>("txtSong")->isReadOnly());
        QCOMPARE(child<QSlider>("slVolume")->value(), 290);
        QCOMPARE(child<QLabel>("Label2")->text(),
                 QStringLiteral("sound alarm in...               hours:"));
        QCOMPARE(child<QLabel>("Label3")->text(), QStringLiteral("   minutes:"));
        QCOMPARE(child<QLabel>("lblHide")->toolTip(), QStringLiteral("Show/Hide files"));
        for (const char *button : {"cmdAdd", "cmdRemove", "cmdClear"})
            QVERIFY(child<QPushButton>(button)->isEnabled());
        QCOMPARE(m_window->intSong, 0);
        QVERIFY(!m_window->blnAlarmEdited);
        QVERIFY(child<QWidget>("cmbDrives")->hasFocus());
        // Frame1 lies below the client area.
        QVERIFY(child<QWidget>("Frame1")->geometry().top() >= m_window->height());
    }

    // Every caption of a label or button, measured in the font it is drawn in, ends 2 pixels
    // before its box's right edge: labels draw it from their left edge, buttons in their
    // middle. Command2 is in Arial 8.25 point, or Liberation Sans where Arial is missing, never
    // in a stand-in that Qt found.
    void captionsFitTheirBoxes()
    {
        start();
        QStringList measured;
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            const auto *label = qobject_cast<QLabel *>(w);
            const auto *button = qobject_cast<QPushButton *>(w);
            const QString text = label ? label->text() : button ? button->text() : QString();
            if (text.isEmpty())
                continue;
            const QFontMetrics metrics = w->fontMetrics();
            const int width = metrics.horizontalAdvance(text);
            const int end = label ? width : (w->width() + width) / 2;
            const QString seen = QStringLiteral("%1 in %2 %3 px: ends at %4 of %5, %6 of %7 high")
                                     .arg(w->objectName(), w->font().family())
                                     .arg(QFontInfo(w->font()).pixelSize())
                                     .arg(end)
                                     .arg(w->width())
                                     .arg(metrics.height())
                                     .arg(w->height());
            QVERIFY2(!label || label->alignment() & Qt::AlignLeft, qPrintable(seen));
            QVERIFY2(end <= w->width() - 2 && metrics.height() <= w->height(), qPrintable(seen));
            measured << w->objectName();
        }
        QCOMPARE(measured.size(), 16);
        const QFont v = child<QPushButton>("Command2")->font();
        QVERIFY2(QStringList({"Arial", "Liberation Sans"}).contains(v.family()),
                 qPrintable(v.family()));
        QCOMPARE(QFontInfo(v).family(), v.family());
        QCOMPARE(v.pointSizeF(), 8.25);
    }

    // A screen reader names every control that takes the focus, and each picture: a field or
    // option button beside a label by the words of the caption beside it, the others by what
    // they are. The clock is a display, whose ticks a reader does not speak, and the song that
    // starts is announced wherever the focus is.
    void screenReaderNamesAndAnnouncements()
    {
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\a.mp3");
        startHeld();
        auto name = [](QWidget *w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        QStringList named;
        for (QWidget *w : m_window->findChildren<QWidget *>()) {
            if (w->objectName().isEmpty()
                || (w->focusPolicy() == Qt::NoFocus && !qobject_cast<PictureBox *>(w)))
                continue;
            QVERIFY2(!name(w).trimmed().isEmpty(), qPrintable(w->objectName()));
            named << w->objectName();
        }
        QCOMPARE(named.size(), 26);
        auto caption = [this](const char *label) {
            return child<QLabel>(label)->text().split(QRegularExpression(QStringLiteral(" {2,}")),
                                                      Qt::SkipEmptyParts);
        };
        QCOMPARE(name(child<QWidget>("Option1")), caption("Label1").join(u' '));
        QCOMPARE(name(child<QWidget>("Text2")), caption("Label1").join(u' '));
        QCOMPARE(caption("Label2").size(), 2);
        QCOMPARE(name(child<QWidget>("Option2")), caption("Label2").first());
        QCOMPARE(name(child<QWidget>("Text3")), caption("Label2").last());
        QCOMPARE(name(child<QWidget>("Text4")), caption("Label3").join(u' '));
        QCOMPARE(name(child<QWidget>("Text5")), caption("Label4").join(u' '));

        // The clock's ticks are read as a label's, which readers do not speak.
        tick();
        QAccessibleInterface *clock
            = QAccessible::queryAccessibleInterface(child<QWidget>("Text1"));
        QCOMPARE(clock->role(), QAccessible::StaticText);
        QVERIFY(!child<QLineEdit>("Text1")->text().isEmpty());
        QCOMPARE(clock->textInterface()->text(0, -1), child<QLineEdit>("Text1")->text());

        // The announcement is a notification of the window, there until the next one.
        auto announced = [this] {
            QStringList texts;
            for (QObject *o : m_window->children())
                if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(o))
                    if (iface->role() == QAccessible::Notification)
                        texts << iface->text(QAccessible::Name);
            return texts;
        };
        addToPlaylist("C:\\Music", {"a.mp3"});
        QCOMPARE(announced(), QStringList());
        QTest::mouseClick(child<QPushButton>("cmdPlay"), Qt::LeftButton);
        QCOMPARE(announced(), QStringList {"Player - a.mp3"});
        QTest::mouseClick(child<QPushButton>("cmdNext"), Qt::LeftButton);
        QCOMPARE(announced(), QStringList {"Player - a.mp3"});
    }

    // The player is asked for its volume and set once, from the slider's 290, before any
    // song is opened.
    void startupSetsVolumeOnce()
    {
        m_initialVolume = -100;
        start();
        QCOMPARE(m_record.calls, QStringList {"Volume -110"});
        QCOMPARE(m_window->intVolume, -100);
    }

    void volumeTable_data()
    {
        QTest::addColumn<int>("base");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expected");
        QTest::newRow("right end") << -100 << 300 << -100;
        QTest::newRow("initial") << -100 << 290 << -110;
        QTest::newRow("150") << -100 << 150 << -250;
        QTest::newRow("left end") << -100 << 0 << -400;
        QTest::newRow("base 0") << 0 << 17 << 0;
        QTest::newRow("half down to even") << -1 << 250 << -2;
        QTest::newRow("half up to even") << -3 << 250 << -4;
        QTest::newRow("default base") << -600 << 200 << -1200;
    }

    void volumeTable()
    {
        QFETCH(int, base);
        QFETCH(int, position);
        QFETCH(int, expected);
        m_initialVolume = base;
        start();
        child<QSlider>("slVolume")->setValue(position);
        QCOMPARE(player().lastVolumeSet, expected);
        // Moving back sets exactly what the position set before.
        child<QSlider>("slVolume")->setValue(290);
        child<QSlider>("slVolume")->setValue(position);
        QCOMPARE(player().lastVolumeSet, expected);
    }

    void startupVolumeOutOfRangeIsOverflow()
    {
        m_initialVolume = 40000;
        start();
        QTRY_COMPARE(messageText(), QStringLiteral("Overflow"));
        // Startup ended at the failing step: the drive box was never filled.
        QCOMPARE(m_record.calls, QStringList {});
    }

    void shutdownStopsOnceAndReleases()
    {
        start();
        m_record.calls.clear();
        m_window->close();
        QCOMPARE(m_record.calls, (QStringList {"Stop", "release"}));
        QCOMPARE(m_record.created, 1);
    }

    // After the close nothing ticks and nothing is made anew, whatever was due then: a song
    // that ended, the clock's tick, a message still queued.
    void nothingAfterShutdown()
    {
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\a.mp3");
        m_fs.addFile("C:\\Music\\b.mp3");
        start();
        addToPlaylist("C:\\Music", {"a.mp3", "b.mp3"});
        QTest::mouseClick(child<QPushButton>("cmdPlay"), Qt::LeftButton);
        QVERIFY(child<QTimer>("Timer1")->isActive());
        player().finishSong();
        m_window->report(QStringLiteral("Overflow"));
        m_window->close();
        const QStringList callsAtClose = m_record.calls;
        QTest::qWait(5000);
        QCOMPARE(m_record.created, 1);
        QCOMPARE(m_record.calls, callsAtClose);
        QVERIFY(!child<QTimer>("Timer1")->isActive() && !child<QTimer>("Timer2")->isActive());
        QCOMPARE(messageText(), QString());
    }

    // The fixture's walk through the browser builds the playlist that playback reads.
    void playlistBuiltByClicks()
    {
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\Rock\\a.mp3");
        m_fs.addFile("C:\\Music\\Rock\\b.mp3");
        start();
        addToPlaylist("C:\\Music\\Rock", {"b.mp3", "a.mp3"});
        QCOMPARE(playlistEntries(),
                 (QStringList {"C:\\Music\\Rock\\a.mp3", "C:\\Music\\Rock\\b.mp3"}));
        QCOMPARE(playlistRows(), (QStringList {"a.mp3", "b.mp3"}));
    }

    // Frame1 is off screen, yet Tab reaches txtSong and the transport buttons, and Space
    // on a focused button clicks it.
    void tabReachesTheTransportPanel()
    {
        start();
        const QStringList expected {"cmbDrives", "lstFiles",  "cmdUp",   "cmdAdd",  "lstSelected",
                                    "cmdClear",  "cmdRemove", "txtSong", "cmdPlay", "cmdPause",
                                    "cmdStop",   "cmdBack",   "cmdNext", "slVolume"};
        // The drive box's text field has the focus for the box: name the control.
        auto focused = [] {
            QWidget *w = QApplication::focusWidget();
            while (w && w->objectName().isEmpty())
                w = w->parentWidget();
            return w ? w->objectName() : QString();
        };
        QStringList seen {focused()};
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << focused();
        }
        QCOMPARE(seen, expected);

        auto *stop = child<QPushButton>("cmdStop");
        stop->setFocus();
        QSignalSpy clicked(stop, &QPushButton::clicked);
        QTest::keyClick(stop, Qt::Key_Space);
        QCOMPARE(clicked.count(), 1);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/windowtest.h"

#include <cstdint>
#include <limits>

// Choosing a drive, clicking into folders and Up, by clicks on the real window over the
// fake file system: what lstFiles lists, the browser position, and the faults.
class TestBrowser : public QObject, public WindowTest
{
    Q_OBJECT

    QListWidget *files() const { return child<QListWidget>("lstFiles"); }

    // Walks the browser: "Up" clicks Up, a drive text (C:) picks that drive, "OK" closes the
    // message box that is due, any other text clicks that entry of lstFiles.
    void walk(const QStringList &steps)
    {
        for (const QString &step : steps) {
            if (step == u"OK") {
                QTRY_VERIFY(m_window->messageBox());
                closeMessage();
            } else if (step == u"Up")
                QTest::mouseClick(child<QPushButton>("cmdUp"), Qt::LeftButton);
            else if (step.size() == 2 && step.endsWith(u':'))
                chooseDrive(step);
            else
                clickEntry(files(), step);
        }
    }

private slots:
    void cleanup() { stop(); }

    // The three operations list with their own filters, files by name before folders by
    // full path, and keep strFolder as the path below the drive.
    void listing_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("drive");
        const QStringList music {"C:\\Music\\song.mp3",    "C:\\Music\\Song.MP3",
                                 "C:\\Music\\mp3list.txt", "C:\\Music\\Rock\\a.mp3",
                                 "C:\\Music\\Jazz\\b.mp3", "C:\\mp3notes.txt",
                                 "C:\\Notes\\mp3notes.txt"};
        QTest::newRow("root: filter mp3, files then folders")
            << music << QStringList {"C:"} << QStringList {"mp3notes.txt", "C:\\Music", "C:\\Notes"}
            << ""
            << "C:";
        QTest::newRow("click: filter .mp3, case kept")
            << music << QStringList {"C:", "C:\\Music"}
            << QStringList {"song.mp3", "C:\\Music\\Rock", "C:\\Music\\Jazz"} << "\\Music"
            << "C:";
        QTest::newRow("click: mp3notes.txt not listed")
            << music << QStringList {"C:", "C:\\Notes"} << QStringList {} << "\\Notes"
            << "C:";
        QTest::newRow("click two levels")
            << music << QStringList {"C:", "C:\\Music", "C:\\Music\\Rock"} << QStringList {"a.mp3"}
            << "\\Music\\Rock"
            << "C:";
        QTest::newRow("Up from C:\\Music\\Rock: parent with filter mp3")
            << music << QStringList {"C:", "C:\\Music", "C:\\Music\\Rock", "Up"}
            << QStringList {"song.mp3", "mp3list.txt", "C:\\Music\\Rock", "C:\\Music\\Jazz"}
            << "\\Music"
            << "C:";
        QTest::newRow("Up from C:\\Music to the root")
            << music << QStringList {"C:", "C:\\Music", "Up"}
            << QStringList {"mp3notes.txt", "C:\\Music", "C:\\Notes"} << ""
            << "C:";
        QTest::newRow("Up at a root lists the root again")
            << music << QStringList {"C:", "Up", "Up"}
            << QStringList {"mp3notes.txt", "C:\\Music", "C:\\Notes"} << ""
            << "C:";
        QTest::newRow("Up before any drive does nothing")
            << music << QStringList {"Up"} << QStringList {} << ""
            << "";
        QTest::newRow("a folder whose path holds .mp3 lists every file")
            << QStringList {"C:\\old.mp3\\a.txt", "C:\\old.mp3\\b.wav", "C:\\old.mp3\\c.mp3"}
            << QStringList {"C:", "C:\\old.mp3"} << QStringList {"a.txt", "b.wav", "c.mp3"}
            << "\\old.mp3"
            << "C:";
        QTest::newRow("an empty folder, then out by Up")
            << QStringList {"C:\\Empty\\Deeper\\x.wav"}
            << QStringList {"C:", "C:\\Empty", "C:\\Empty\\Deeper", "Up"}
            << QStringList {"C:\\Empty\\Deeper"} << "\\Empty"
            << "C:";
        QTest::newRow("choosing a drive starts at its root")
            << QStringList {"C:\\Music\\a.mp3", "D:\\b.mp3", "D:\\Music\\c.mp3"}
            << QStringList {"C:", "C:\\Music", "D:"} << QStringList {"b.mp3", "D:\\Music"} << ""
            << "D:";
    }

    void listing()
    {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        QFETCH(QString, folder);
        QFETCH(QString, drive);
        m_fs.addDrive("C:");
        m_fs.addDrive("D:");
        for (const QString &path : tree)
            m_fs.addFile(path);
        start();
        walk(steps);
        QCOMPARE(listed(), expected);
        QCOMPARE(m_window->strFolder, folder);
        QCOMPARE(m_window->strDrive, drive);
        QCoreApplication::processEvents();
        QVERIFY(messageText().isEmpty());
    }

    // A click on a file entry, or on a folder entry while two or more entries are
    // selected, changes nothing.
    void clicksThatChangeNothing()
    {
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\a.mp3");
        m_fs.addFile("C:\\Music\\b.mp3");
        m_fs.addFolder("C:\\Music\\Rock");
        start();
        openFolder("C:\\Music");
        const QStringList before {"a.mp3", "b.mp3", "C:\\Music\\Rock"};
        QCOMPARE(listed(), before);

        clickEntry(files(), "a.mp3");
        QCOMPARE(listed(), before);
        clickEntry(files(), "C:\\Music\\Rock", Qt::ShiftModifier);
        QCOMPARE(files()->selectedItems().size(), 3);
        QCOMPARE(listed(), before);
        clickEntry(files(), "b.mp3");
        clickEntry(files(), "C:\\Music\\Rock", Qt::ControlModifier);
        QCOMPARE(files()->selectedItems().size(), 2);
        QCOMPARE(listed(), before);
        QCOMPARE(m_window->strFolder, QStringLiteral("\\Music"));

        // Alone in the selection, the same entry is entered.
        clickEntry(files(), "C:\\Music\\Rock");
        QCOMPARE(listed(), QStringList {});
        QCOMPARE(m_window->strFolder, QStringLiteral("\\Music\\Rock"));
    }

    // A drive without a medium: "Drives not ready" after the handler, with no icon and an OK
    // button only; the list stays empty and the drive is taken all the same.
    void driveWithoutMedium()
    {
        m_fs.addDrive("C:");
        m_fs.addDrive("D:", false);
        m_fs.addFile("C:\\a.mp3");
        start();
        chooseDrive("C:");
        QCOMPARE(listed(), QStringList {"a.mp3"});
        chooseDrive("D:");
        QCOMPARE(listed(), QStringList {});
        QCOMPARE(m_window->strDrive, QStringLiteral("D:"));
        QCOMPARE(m_window->strFolder, QString());
        QTRY_COMPARE(messageText(), QStringLiteral("Drives not ready"));
        QMessageBox *box = m_window->messageBox();
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        QCOMPARE(box->windowTitle(), QStringLiteral("Wakewell"));
        closeMessage();

        m_fs.setReady("D:", true);
        m_fs.addFile("D:\\b.mp3");
        chooseDrive("D:");
        QCOMPARE(listed(), QStringList {"b.mp3"});
    }

    // A call of the file system that fails ends the handler there with the error's message;
    // what it had done before stays, and the window goes on working.
    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("folder");
        const QStringList atMusic {"a.mp3", "C:\\Music\\Rock"};
        QTest::newRow("folder deleted, then clicked")
            << "remove C:\\Music\\Rock" << QStringList {"C:\\Music\\Rock"} << "Path not found"
            << atMusic << "\\Music";
        QTest::newRow("folder made unreadable, then clicked")
            << "deny C:\\Music\\Rock" << QStringList {"C:\\Music\\Rock"} << "Permission denied"
            << QStringList {} << "\\Music\\Rock";
        QTest::newRow("medium removed, then a folder clicked")
            << "eject" << QStringList {"C:\\Music\\Rock"} << "Device unavailable" << atMusic
            << "\\Music";
        QTest::newRow("medium removed, then Up")
            << "eject" << QStringList {"Up"} << "Device unavailable" << atMusic << "\\Music";
        QTest::newRow("folder shown deleted, then Up")
            << "remove C:\\Music" << QStringList {"Up"} << "Path not found" << atMusic << "\\Music";
        QTest::newRow("parent made unreadable, then Up")
            << "deny C:\\" << QStringList {"Up"} << "Permission denied" << QStringList {} << "";
        QTest::newRow("Up after Drives not ready") << "none" << QStringList {"D:", "OK", "Up"}
                                                   << "Device unavailable" << QStringList {} << "";
    }

    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, steps);
        QFETCH(QString, message);
        QFETCH(QStringList, expected);
        QFETCH(QString, folder);
        m_fs.addDrive("C:");
        m_fs.addDrive("D:", false);
        m_fs.addFile("C:\\Music\\a.mp3");
        m_fs.addFile("C:\\Music\\Rock\\b.mp3");
        m_fs.addFile("C:\\c.mp3");
        start();
        openFolder("C:\\Music");
        if (fault.startsWith("remove "))
            m_fs.removeFolder(fault.mid(7));
        else if (fault.startsWith("deny "))
            m_fs.deny(fault.mid(5));
        else if (fault == u"eject")
            m_fs.setReady("C:", false);
        walk(steps);
        QTRY_COMPARE(messageText(), message);
        QCOMPARE(listed(), expected);
        QCOMPARE(m_window->strFolder, folder);
        closeMessage();
        QCOMPARE(messageText(), QString());

        m_fs = FakeFileSystem();
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\c.mp3");
        chooseDrive("C:");
        QCOMPARE(listed(), QStringList {"c.mp3"});
        QCOMPARE(m_window->strFolder, QString());
    }

    // A listing stops at 32,767 entries with "Overflow": the files listed so far stay, in
    // order, and the folder entries that found no room are left out.
    void listingStopsAtTheLimit()
    {
        constexpr int limit = std::numeric_limits<std::int16_t>::max();
        m_fs.addDrive("C:");
        QStringList expected;
        for (int i = 0; i < limit - 1; ++i) {
            expected << QStringLiteral("%1.mp3").arg(i);
            m_fs.addFile("C:\\Big\\" + expected.last());
        }
        m_fs.addFolder("C:\\Big\\Sub1");
        m_fs.addFolder("C:\\Big\\Sub2");
        expected << "C:\\Big\\Sub1";
        start();
        openFolder("C:\\Big");
        QTRY_COMPARE(messageText(), QStringLiteral("Overflow"));
        QCOMPARE(listed(), expected);
        QCOMPARE(m_window->strFolder, QStringLiteral("\\Big"));
        closeMessage();

        QTest::mouseClick(child<QPushButton>("cmdUp"), Qt::LeftButton);
        QCOMPARE(listed(), QStringList {"C:\\Big"});
    }
};

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"

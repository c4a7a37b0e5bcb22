// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/windowtest.h"
#include "playlist/collection.h"

#include <algorithm>

// Add, Remove and Clear by clicks, with colPlaylist and lstSelected compared entry by entry
// after every step; the three buttons locked while playing.
class TestPlaylist : public QObject, public WindowTest
{
    Q_OBJECT

    QListWidget *files() const { return child<QListWidget>("lstFiles"); }
    QListWidget *songs() const { return child<QListWidget>("lstSelected"); }
    void click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    // Clicks entries of lstFiles: "+name" with Ctrl, "^name" with Shift, "name" alone.
    void clickEntries(const QStringList &clicks)
    {
        for (const QString &c : clicks) {
            const Qt::KeyboardModifiers keys = c.startsWith(u'+') ? Qt::ControlModifier
                : c.startsWith(u'^')                              ? Qt::ShiftModifier
                                                                  : Qt::NoModifier;
            clickEntry(files(), keys == Qt::NoModifier ? c : c.mid(1), keys);
        }
    }

    // Four songs from two folders: C:\Music\a.mp3, b.mp3, C:\Music\Rock\c.mp3, d.mp3.
    QStringList addFourSongs()
    {
        m_fs.addDrive("C:");
        for (const char *path : {"C:\\Music\\a.mp3", "C:\\Music\\b.mp3", "C:\\Music\\Rock\\c.mp3",
                                 "C:\\Music\\Rock\\d.mp3"})
            m_fs.addFile(path);
        start();
        addToPlaylist("C:\\Music", {"a.mp3", "b.mp3"});
        addToPlaylist("C:\\Music\\Rock", {"c.mp3", "d.mp3"});
        return {"C:\\Music\\a.mp3", "C:\\Music\\b.mp3", "C:\\Music\\Rock\\c.mp3",
                "C:\\Music\\Rock\\d.mp3"};
    }

private slots:
    void cleanup() { stop(); }

    void add_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("adds");
        QTest::addColumn<QStringList>("expected");
        const QString music = "C:\\Music";
        QTest::newRow("three selected, current among them, in list order")
            << music << QStringList {"c.mp3", "+a.mp3", "+b.mp3"} << 1
            << QStringList {"C:\\Music\\a.mp3", "C:\\Music\\b.mp3", "C:\\Music\\c.mp3"};
        QTest::newRow("a range by Shift") << music << QStringList {"b.mp3", "^c.mp3"} << 1
                                          << QStringList {"C:\\Music\\b.mp3", "C:\\Music\\c.mp3"};
        QTest::newRow("current item a folder entry")
            << music << QStringList {"a.mp3", "+C:\\Music\\Rock"} << 1 << QStringList {};
        QTest::newRow("selected folder entry that is not current")
            << music << QStringList {"a.mp3", "+C:\\Music\\Rock", "+b.mp3"} << 1
            << QStringList {"C:\\Music\\a.mp3", "C:\\Music\\b.mp3"};
        QTest::newRow("nothing selected")
            << music << QStringList {"a.mp3", "+a.mp3"} << 1 << QStringList {};
        QTest::newRow("current item unselected, another selected")
            << music << QStringList {"b.mp3", "+a.mp3", "+a.mp3"} << 1
            << QStringList {"C:\\Music\\b.mp3"};
        QTest::newRow("same file twice") << music << QStringList {"a.mp3"} << 2
                                         << QStringList {"C:\\Music\\a.mp3", "C:\\Music\\a.mp3"};
        QTest::newRow("at a drive's root")
            << "C:" << QStringList {"Song.mp3"} << 1 << QStringList {"C:\\Song.mp3"};
        QTest::newRow("two levels down") << "C:\\Music\\Rock" << QStringList {"d.mp3"} << 1
                                         << QStringList {"C:\\Music\\Rock\\d.mp3"};
    }

    void add()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, clicks);
        QFETCH(int, adds);
        QFETCH(QStringList, expected);
        m_fs.addDrive("C:");
        for (const char *path : {"C:\\Song.mp3", "C:\\Music\\a.mp3", "C:\\Music\\b.mp3",
                                 "C:\\Music\\c.mp3", "C:\\Music\\Rock\\d.mp3"})
            m_fs.addFile(path);
        start();
        openFolder(folder);
        clickEntries(clicks);
        for (int i = 0; i < adds; ++i)
            click("cmdAdd");
        QVERIFY(playlistIs(expected));
        // Add leaves the browser as it was.
        QCOMPARE(m_window->strDrive + m_window->strFolder, folder);
        QVERIFY(messageText().isEmpty());
    }

    // Remove takes out the selected song only; with nothing selected it changes nothing.
    void remove()
    {
        QStringList songsLeft = addFourSongs();
        QVERIFY(playlistIs(songsLeft));

        click("cmdRemove");
        QVERIFY(playlistIs(songsLeft));

        clickEntry(songs(), "c.mp3");
        click("cmdRemove");
        songsLeft.removeAt(2);
        QVERIFY(playlistIs(songsLeft));

        // No neighbour is selected in its place: a second click removes nothing.
        click("cmdRemove");
        QVERIFY(playlistIs(songsLeft));

        clickEntry(songs(), "d.mp3");
        click("cmdRemove");
        songsLeft.removeLast();
        QVERIFY(playlistIs(songsLeft));

        clickEntry(songs(), "a.mp3");
        click("cmdRemove");
        songsLeft.removeFirst();
        QVERIFY(playlistIs(songsLeft));

        clickEntry(songs(), "b.mp3");
        click("cmdRemove");
        QVERIFY(playlistIs({}));
        QVERIFY(messageText().isEmpty());
    }

    void clear()
    {
        m_fs.addDrive("C:");
        start();
        click("cmdClear");
        QVERIFY(playlistIs({}));

        stop();
        const QStringList four = addFourSongs();
        clickEntry(songs(), "b.mp3");
        click("cmdClear");
        QVERIFY(playlistIs({}));

        // The playlist builds up again from empty.
        addToPlaylist("C:\\Music", {"b.mp3"});
        QVERIFY(playlistIs({four[1]}));
        QVERIFY(messageText().isEmpty());
    }

    // A started play locks Add, Remove and Clear, and only them: the browser and both lists
    // go on working. Stopping playback unlocks them.
    void buttonsLockedWhilePlaying_data()
    {
        QTest::addColumn<QString>("play");
        QTest::addColumn<QString>("stop");
        QTest::newRow("Play, then Stop") << "cmdPlay"
                                         << "cmdStop";
        QTest::newRow("double click, then Stop Song") << "lstSelected"
                                                      << "Command1";
    }

    void buttonsLockedWhilePlaying()
    {
        QFETCH(QString, play);
        QFETCH(QString, stop);
        const QStringList four = addFourSongs();
        auto locked = [this] {
            const QList<QPushButton *> buttons {child<QPushButton>("cmdAdd"),
                                                child<QPushButton>("cmdRemove"),
                                                child<QPushButton>("cmdClear")};
            return std::none_of(buttons.cbegin(), buttons.cend(),
                                [](QPushButton *b) { return b->isEnabled(); });
        };
        QVERIFY(!locked());
        if (play == u"lstSelected") {
            clickEntry(songs(), "a.mp3");
            const QRect row = songs()->visualItemRect(songs()->item(0));
            QTest::mouseDClick(songs()->viewport(), Qt::LeftButton, {}, row.center());
        } else {
            click("cmdPlay");
        }
        QCOMPARE(m_record.opened, QStringList {four[0]});
        QVERIFY(locked());

        clickEntry(files(), "c.mp3");
        click("cmdAdd");
        clickEntry(songs(), "b.mp3");
        click("cmdRemove");
        click("cmdClear");
        QVERIFY(playlistIs(four));
        QVERIFY(songs()->item(1)->isSelected());

        click("cmdUp");
        QCOMPARE(m_window->strFolder, QStringLiteral("\\Music"));
        clickEntry(files(), "C:\\Music\\Rock");
        QCOMPARE(m_window->strFolder, QStringLiteral("\\Music\\Rock"));
        QVERIFY(locked());

        click(qPrintable(stop));
        QVERIFY(!locked());
        click("cmdRemove");
        QVERIFY(playlistIs({four[0], four[2], four[3]}));
        QVERIFY(messageText().isEmpty());
    }

    // The playlist holds at most 32,767 songs: an Add that would pass that stops at the
    // limit with "Overflow", and both lists keep every song added, in step.
    void addStopsAtTheLimit()
    {
        constexpr int limit = Collection::maxCount;
        m_fs.addDrive("C:");
        QStringList names;
        for (int i = 0; i < limit; ++i) {
            names << QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0'));
            m_fs.addFile("C:\\Big\\" + names.last());
        }
        start();
        addToPlaylist("C:\\Big", {names[0]});
        clickEntry(files(), names.last(), Qt::ShiftModifier);
        click("cmdAdd");
        QTRY_COMPARE(messageText(), QStringLiteral("Overflow"));
        QStringList expected {"C:\\Big\\" + names[0]};
        for (int i = 0; i < limit - 1; ++i)
            expected << "C:\\Big\\" + names[i];
        QVERIFY(playlistIs(expected));
        closeMessage();

        clickEntry(files(), names[7]);
        click("cmdAdd");
        QTRY_COMPARE(messageText(), QStringLiteral("Overflow"));
        QVERIFY(playlistIs(expected));
    }
};

QTEST_MAIN(TestPlaylist)
#include "test_playlist.moc"

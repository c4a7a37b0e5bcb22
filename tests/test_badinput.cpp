// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/unprivileged.h"
#include "fakes/windowtest.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdint>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString times(int n, const QString &text)
{
    return text.repeated(n);
}

// Text from every corner of Unicode, repeated to the length asked: Latin with accents, Greek,
// Cyrillic, Hebrew and Arabic (right to left), CJK, combining marks, a zero-width joiner
// sequence, emoji outside the basic plane, a byte order mark and a right-to-left override.
QString everyScript(int length)
{
    const QString sample = QString::fromUtf8("é ß Ωμέγα Ёлка שלום سلام 漢字かな 한글 a\u0301\u0308 "
                                             "👩\u200d👩\u200d👧 🎵⏰🐓 \ufeff\u202eabc\u202c ");
    return times(length / sample.size() + 1, sample).left(length);
}

#ifdef Q_OS_LINUX
// Removes the chain of folders below the folder fd, each named name, from the bottom up: by
// folder handles, since their paths are too long for the host.
void removeChain(int fd, const QByteArray &name)
{
    const int below = ::openat(fd, name.constData(), O_DIRECTORY);
    if (below < 0)
        return;
    removeChain(below, name);
    ::close(below);
    ::unlinkat(fd, name.constData(), AT_REMOVEDIR);
}
#endif

} // namespace

// What a user can type into the window or have on disk that it was not made for, each with
// its outcome: a clear message or a documented rest, nothing the user had lost, and the
// window still answering. The on-disk cases read a temporary folder through the real adapter.
class TestBadInput : public QObject, public WindowTest
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    // The name of every folder of a chain deeper than the host's paths reach, which
    // QTemporaryDir cannot remove; empty when there is none.
    QByteArray m_chain;

    QListWidget *files() const { return m_window->lstFiles; }
    QStringList fields() const
    {
        return {m_window->Text3->text(), m_window->Text4->text(), m_window->Text5->text()};
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Replaces what the field holds with the text, as a user pastes it.
    static void paste(QWidget *field, const QString &text)
    {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    }

    // True when the window's event loop runs a zero-delay timer posted now: it is not frozen.
    bool answers() const
    {
        bool ran = false;
        QTimer::singleShot(0, m_window.get(), [&ran] { ran = true; });
        return QTest::qWaitFor([&ran] { return ran; }, 5000);
    }
    // The message box the last handler left, once it had the chance to open.
    QString shownMessage() const
    {
        QCoreApplication::processEvents();
        return messageText();
    }

    QString host(const QString &below) const { return m_dir->filePath(below); }
    void makeFile(const QString &below, const QByteArray &content = {})
    {
        QVERIFY(QDir().mkpath(QFileInfo(host(below)).path()));
        QFile file(host(below));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }
    // The window over the real adapter, with C: the temporary folder and any other drives.
    void startOnDisk(QList<DriveTable::Entry> more = {})
    {
        more.prepend({QStringLiteral("C:"), m_dir->path()});
        m_hostDrives = DriveTable(more);
        startHeld();
    }

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        stop();
        QGuiApplication::clipboard()->clear();
#ifdef Q_OS_LINUX
        if (!m_chain.isEmpty()) {
            const int fd = ::open(QFile::encodeName(m_dir->path()).constData(), O_DIRECTORY);
            removeChain(fd, m_chain);
            ::close(fd);
            m_chain.clear();
        }
#endif
        m_dir.reset();
    }

    // Text pasted into the three countdown fields, then ticks: what the fields show and
    // whether the alarm sounded. Text that is no number rests the countdown silently, as an
    // empty field does; a number counts down, however large. (Letters, a lone blank, 1e400,
    // inf and nan in a running countdown: test_countdown.)
    void countdownFields_data()
    {
        QTest::addColumn<QStringList>("typed"); // hours, minutes, seconds
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("sounds");
        const QString digits300 = u'1' + QString(299, u'0');
        const QString digits400 = u'1' + QString(399, u'0');
        QTest::newRow("minus zero is zero")
            << QStringList {"0", "0", "-0"} << 1 << QStringList {"0", "0", "-0"} << true;
        QTest::newRow("minus zero hours")
            << QStringList {"-0", "0", "1"} << 2 << QStringList {"-0", "0", "0"} << true;
        QTest::newRow("300 digits of hours: counts down, written back short")
            << QStringList {digits300, "0", "0"} << 2 << QStringList {"1E+299", "59", "58"}
            << false;
        QTest::newRow("300 digits of seconds: 1 off leaves it where it is")
            << QStringList {"0", "0", digits300} << 2 << QStringList {"0", "0", "1E+299"} << false;
        QTest::newRow("400 digits: too large, rests")
            << QStringList {"0", "0", digits400} << 2 << QStringList {"0", "0", digits400} << false;
        QTest::newRow("too small, rests")
            << QStringList {"0", "0", "1e-400"} << 2 << QStringList {"0", "0", "1e-400"} << false;
        QTest::newRow("tiny fraction: stuck below zero")
            << QStringList {"0", "0", "1e-300"} << 2 << QStringList {"0", "0", "-1"} << false;
        QTest::newRow("group separators are read")
            << QStringList {"0", "0", "1,000"} << 1 << QStringList {"0", "0", "999"} << false;
        QTest::newRow("minus sign U+2212 borrows")
            << QStringList {"0", "1", "\u22125"} << 1 << QStringList {"0", "0", "59"} << false;
        QTest::newRow("blanks around every field")
            << QStringList {" 0 ", "\t0", "1 "} << 2 << QStringList {" 0 ", "\t0", "0"} << true;
        for (const QString &text :
             {QStringLiteral("\u0663"), QStringLiteral("\uff15"), QStringLiteral("0x10"),
              QStringLiteral("1_000"), QStringLiteral("\u23f0"), everyScript(300)})
            QTest::addRow("no number, rests: %s", qPrintable(text.left(8)))
                << QStringList {"0", "1", text} << 2 << QStringList {"0", "1", text} << false;
        QTest::newRow("letters in hours rest the running seconds")
            << QStringList {"1h", "0", "5"} << 2 << QStringList {"1h", "0", "5"} << false;
    }

    void countdownFields()
    {
        QFETCH(QStringList, typed);
        QFETCH(int, ticks);
        QFETCH(QStringList, shown);
        QFETCH(bool, sounds);
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\a.mp3");
        startHeld();
        addToPlaylist("C:\\Music", {"a.mp3"});
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        paste(m_window->Text3, typed[0]);
        paste(m_window->Text4, typed[1]);
        paste(m_window->Text5, typed[2]);
        QCOMPARE(fields(), typed);
        WindowTest::ticks(ticks);
        QCOMPARE(fields(), shown);
        QCOMPARE(m_record.opened, sounds ? QStringList {"C:\\Music\\a.mp3"} : QStringList {});
        QCOMPARE(shownMessage(), QString());
        QVERIFY(answers());
    }

    // Text pasted into the alarm field, then three ticks from 6:00:00 AM: it is kept as it was
    // given, up to the field's 32,767 characters, and only the clock's own text rings.
    void alarmText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("rings");
        const QString letters = QString(10000, u'x');
        const QString scripts = everyScript(10000);
        QTest::newRow("10,000 letters") << letters << letters << false;
        QTest::newRow("10,000 characters of every script") << scripts << scripts << false;
        QTest::newRow("the time, then 10,000 blanks")
            << "6:00:02 AM" + QString(10000, u' ') << "6:00:02 AM" + QString(10000, u' ') << false;
        QTest::newRow("the time with a no-break space") << "6:00:02\u00a0AM"
                                                        << "6:00:02\u00a0AM" << false;
        QTest::newRow("the time with a narrow no-break space") << "6:00:02\u202fAM"
                                                               << "6:00:02\u202fAM" << false;
        QTest::newRow("the time in full-width digits")
            << "\uff16:\uff10\uff10:\uff10\uff12 AM"
            << "\uff16:\uff10\uff10:\uff10\uff12 AM" << false;
        QTest::newRow("the time") << "6:00:02 AM"
                                  << "6:00:02 AM" << true;
        QTest::newRow("40,000 characters: the field keeps 32,767")
            << QString(40000, u'y') << QString(32767, u'y') << false;
    }

    void alarmText()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QFETCH(bool, rings);
        m_fs.addDrive("C:");
        m_fs.addFile("C:\\Music\\a.mp3");
        startHeld();
        addToPlaylist("C:\\Music", {"a.mp3"});
        QTest::mouseClick(m_window->Option1, Qt::LeftButton);
        paste(m_window->Text2, text);
        ticks(3);
        QCOMPARE(m_window->Text2->text(), kept);
        QCOMPARE(m_window->Text1->text(), QStringLiteral("6:00:03 AM"));
        QCOMPARE(m_record.opened, rings ? QStringList {"C:\\Music\\a.mp3"} : QStringList {});
        QCOMPARE(shownMessage(), QString());
        QVERIFY(answers());
    }

    // Text typed into the drive box and Enter, then Tab: the box keeps the text, never takes
    // it as a new drive, and picks only a drive whose text it is exactly.
    void textInTheDriveBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("drive"); // strDrive afterwards
        QTest::addColumn<QStringList>("shown"); // lstFiles afterwards
        const QStringList none;
        QTest::newRow("an alarm time") << "6:30:00 AM"
                                       << "" << none;
        QTest::newRow("a folder path") << "C:\\Music"
                                       << "" << none;
        QTest::newRow("no such drive") << "E:"
                                       << "" << none;
        QTest::newRow("small letter") << "c:"
                                      << "" << none;
        QTest::newRow("a blank after it") << "C: "
                                          << "" << none;
        QTest::newRow("10,000 characters of every script") << everyScript(10000) << "" << none;
        QTest::newRow("a drive's text picks it") << "D:"
                                                 << "D:" << QStringList {"d.mp3"};
    }

    void textInTheDriveBox()
    {
        QFETCH(QString, text);
        QFETCH(QString, drive);
        QFETCH(QStringList, shown);
        m_fs.addDrive("C:");
        m_fs.addDrive("D:");
        m_fs.addFile("C:\\Music\\a.mp3");
        m_fs.addFile("D:\\d.mp3");
        start();
        QComboBox *box = m_window->cmbDrives;
        QVERIFY(box->hasFocus());
        paste(box, text);
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(box->currentText(), text);
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QStringLiteral("C:"));
        QCOMPARE(box->itemText(1), QStringLiteral("D:"));
        QCOMPARE(m_window->strDrive, drive);
        QCOMPARE(listed(), shown);
        QCOMPARE(shownMessage(), QString());
        QVERIFY(answers());
    }

    // Names on disk that a shell, a URL or a narrow parser would trip over: listed, added and
    // handed to the player as they are, and the player's drive-form path leads back to the
    // very file.
    void namesOnDisk_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::newRow("blanks") << "My Music"
                                << "wake up now.mp3";
        QTest::newRow("emoji") << "🎵 Songs"
                               << "☀️ morning 🐓.mp3";
        QTest::newRow("leading dashes") << "--rf"
                                        << "-v.mp3";
#ifdef Q_OS_WIN
        // Windows holds no name with " * ? or :, nor one that ends in a blank or a dot.
        QTest::newRow("blanks at the start") << " Music"
                                             << " a.mp3";
        QTest::newRow("quotes") << "Don't 'Stop'"
                                << "it's 'loud'.mp3";
        QTest::newRow("shell and URL characters") << "$HOME `x` 100%"
                                                  << "#1 &=[a];.mp3";
        QTest::newRow("dots") << "Live. 2024.. x"
                              << "a..b..mp3";
#else
        QTest::newRow("blanks at the ends") << " Music "
                                            << " a.mp3 ";
        QTest::newRow("quotes") << "Don't \"Stop\""
                                << "it's \"loud\".mp3";
        QTest::newRow("shell and URL characters") << "$HOME `x` 100%"
                                                  << "#1 ?&=*[a];.mp3";
        QTest::newRow("colons and dots") << "Live: 2024..."
                                         << "a:b..mp3";
#endif
        QTest::newRow("right to left and combining") << "Ме́сто"
                                                     << "שיר.mp3";
        QTest::newRow("longest names the host takes")
            << QString(255, u'b') << QString(251, u'a') + ".mp3";
        QTest::newRow("longest emoji names") << times(63, "🎵") << times(62, "🎵") + ".mp3";
    }

    void namesOnDisk()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        makeFile(folder + u'/' + file);
        startOnDisk();
        chooseDrive("C:");
        const QString folderEntry = "C:\\" + folder;
        QCOMPARE(listed(), QStringList {folderEntry});
        clickEntry(files(), folderEntry);
        QCOMPARE(listed(), QStringList {file});
        clickEntry(files(), file);
        click(m_window->cmdAdd);
        const QString song = folderEntry + u'\\' + file;
        QVERIFY(playlistIs({song}));
        click(m_window->cmdPlay);
        QCOMPARE(m_record.opened, QStringList {song});
        QCOMPARE(m_hostDrives->toHost(song), host(folder + u'/' + file));
        QCOMPARE(m_window->windowTitle(), "Player - " + file);
        QCOMPARE(shownMessage(), QString());
        QVERIFY(answers());
    }

    // A folder deeper than the host can name in one path: the browser goes down to the last
    // level it can open; a click past it says so, and changes nothing.
    void pathLongerThanTheHostTakes()
    {
#ifdef Q_OS_LINUX
        const QString name(250, u'd');
        m_chain = name.toLatin1();
        int fd = ::open(QFile::encodeName(m_dir->path()).constData(), O_DIRECTORY);
        QVERIFY(fd >= 0);
        for (int level = 0; level < 20; ++level) {
            QCOMPARE(::mkdirat(fd, m_chain.constData(), 0700), 0);
            const int below = ::openat(fd, m_chain.constData(), O_DIRECTORY);
            ::close(fd);
            fd = below;
            QVERIFY(fd >= 0);
        }
        ::close(fd);
        startOnDisk();
        chooseDrive("C:");
        QString entry = "C:\\" + name;
        int level = 0;
        for (; level < 20; ++level) {
            QCOMPARE(listed(), QStringList {entry});
            clickEntry(files(), entry);
            if (!shownMessage().isEmpty())
                break;
            entry += u'\\' + name;
        }
        // The host's paths hold at most PATH_MAX bytes.
        QCOMPARE(level, (PATH_MAX - 1 - int(m_dir->path().size())) / (name.size() + 1));
        QCOMPARE(messageText(), QStringLiteral("Path too long"));
        QCOMPARE(listed(), QStringList {entry});
        QCOMPARE(m_window->strFolder, times(level, u'\\' + name));
        closeMessage();
        click(m_window->cmdUp);
        QCOMPARE(listed(), QStringList {entry.left(entry.lastIndexOf(u'\\'))});
        QVERIFY(answers());
#else
        QSKIP("the host's path limit is a Linux matter here");
#endif
    }

    // More files than a listing can hold: it stops with "Overflow" and keeps what it listed,
    // in order; all of those can be added at once.
    void folderOfMoreThan32767Files()
    {
        constexpr int limit = std::numeric_limits<std::int16_t>::max();
        for (int i = 0; i <= limit; ++i)
            QVERIFY(QFile(host(QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0'))))
                        .open(QIODevice::WriteOnly));
        QVERIFY(QDir(m_dir->path()).mkdir("Sub"));
        startOnDisk();
        chooseDrive("C:");
        QTRY_COMPARE(messageText(), QStringLiteral("Overflow"));
        QCOMPARE(files()->count(), limit);
        QCOMPARE(files()->item(0)->text(), QStringLiteral("00000.mp3"));
        QCOMPARE(files()->item(limit - 1)->text(), QStringLiteral("32766.mp3"));
        closeMessage();

        clickEntry(files(), "00000.mp3");
        QTest::keyClick(files(), Qt::Key_A, Qt::ControlModifier);
        click(m_window->cmdAdd);
        QCOMPARE(m_window->colPlaylist().Count(), limit);
        QCOMPARE(m_window->lstSelected->count(), limit);
        QCOMPARE(m_window->colPlaylist().Item(limit), QStringLiteral("C:\\32766.mp3"));
        QCOMPARE(m_window->lstSelected->item(limit - 1)->text(), QStringLiteral("32766.mp3"));
        QCOMPARE(shownMessage(), QString());
        QVERIFY(answers());
    }

    // Folders that cannot be read or have gone, on the real adapter: the message of the
    // failing call; what the handler had done before it stays; choosing a drive starts
    // afresh. The browser is in C:\Music when the fault happens.
    void folderFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("step"); // a drive to choose, "Up", or an entry to click
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("folder");
        const QStringList music {"a.mp3", "C:\\Music\\Rock"};
        QTest::newRow("unreadable folder, clicked")
            << "lock Music/Rock"
            << "C:\\Music\\Rock"
            << "Permission denied" << QStringList {} << "\\Music\\Rock";
        QTest::newRow("unreadable drive folder, chosen")
            << "lock Locked"
            << "E:"
            << "Drives not ready" << QStringList {} << "";
        QTest::newRow("folder gone, clicked") << "remove Music/Rock"
                                              << "C:\\Music\\Rock"
                                              << "Path not found" << music << "\\Music";
        QTest::newRow("folder now a file, clicked") << "replace Music/Rock"
                                                    << "C:\\Music\\Rock"
                                                    << "Path not found" << music << "\\Music";
        QTest::newRow("folder shown gone, then Up") << "remove Music"
                                                    << "Up"
                                                    << "Path not found" << music << "\\Music";
        QTest::newRow("drive folder gone, chosen") << "none"
                                                   << "D:"
                                                   << "Drives not ready" << QStringList {} << "";
    }

    void folderFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, step);
        QFETCH(QString, message);
        QFETCH(QStringList, shown);
        QFETCH(QString, folder);
        makeFile("Music/a.mp3");
        makeFile("Music/Rock/b.mp3");
        makeFile("c.mp3");
        QVERIFY(QDir(m_dir->path()).mkdir("Locked"));
#ifdef Q_OS_UNIX
        // Open to others, for the rows that run as nobody.
        for (const QString &below :
             {QString(), QStringLiteral("Music"), QStringLiteral("Music/Rock")})
            QCOMPARE(::chmod(QFile::encodeName(host(below)).constData(), 0755), 0);
        std::optional<Unprivileged> nobody;
#endif
        startOnDisk({{"D:", host("Gone")}, {"E:", host("Locked")}});
        openFolder("C:\\Music");
        const QString what = fault.section(u' ', 1);
        if (fault.startsWith("lock ")) {
#ifdef Q_OS_UNIX
            QCOMPARE(::chmod(QFile::encodeName(host(what)).constData(), 0), 0);
            nobody.emplace();
            if (!nobody->refusesUnreadable())
                QSKIP("running as root, and could not become nobody");
#else
            QSKIP("permission bits are a POSIX matter");
#endif
        } else if (fault.startsWith("remove ")) {
            QVERIFY(QDir(host(what)).removeRecursively());
        } else if (fault.startsWith("replace ")) {
            QVERIFY(QDir(host(what)).removeRecursively());
            makeFile(what);
        }
        if (step == u"Up")
            click(m_window->cmdUp);
        else if (step.size() == 2)
            chooseDrive(step);
        else
            clickEntry(files(), step);
        QTRY_COMPARE(messageText(), message);
        QCOMPARE(listed(), shown);
        QCOMPARE(m_window->strFolder, folder);
        closeMessage();
        QVERIFY(answers());
#ifdef Q_OS_UNIX
        if (nobody) {
            nobody.reset();
            QCOMPARE(::chmod(QFile::encodeName(host(what)).constData(), 0700), 0);
        }
#endif

        chooseDrive("C:");
        QCOMPARE(listed().first(), QStringLiteral("c.mp3"));
        QCOMPARE(shownMessage(), QString());
    }

    // Songs that are gone from the disk since they were added, empty, or not audio: the
    // player reads 0 (stopped) for them right after Open, and the alarm plays on past them
    // at the next tick of Timer1, with no message. When no song can be played the playlist
    // ends at once and the alarm is silent.
    void songsThatCannotPlay_data()
    {
        QTest::addColumn<QStringList>("broken"); // of a.mp3, b.mp3, c.mp3: gone, empty or noise
        QTest::addColumn<QString>("plays"); // the song playing in the end, or empty
        QTest::newRow("the first one gone") << QStringList {"gone"} << "b.mp3";
        QTest::newRow("the first empty") << QStringList {"empty"} << "b.mp3";
        QTest::newRow("the first two not audio") << QStringList {"noise", "noise"} << "c.mp3";
        QTest::newRow("gone, empty and not audio") << QStringList {"gone", "empty", "noise"} << "";
    }

    void songsThatCannotPlay()
    {
        QFETCH(QStringList, broken);
        QFETCH(QString, plays);
        const QStringList names {"a.mp3", "b.mp3", "c.mp3"};
        for (const QString &name : names)
            makeFile("Music/" + name, "ID3");
        startOnDisk();
        addToPlaylist("C:\\Music", names);
        for (int i = 0; i < broken.size(); ++i) {
            const QString path = host("Music/" + names[i]);
            if (broken[i] == u"gone")
                QVERIFY(QFile::remove(path));
            else
                makeFile("Music/" + names[i],
                         broken[i] == u"noise" ? QByteArray(4096, '\x5a') : "");
            player().unplayable << "C:\\Music\\" + names[i];
        }
        QTest::mouseClick(m_window->Option2, Qt::LeftButton);
        paste(m_window->Text5, "1");
        ticks(2);
        for (int tick = 0; tick < broken.size(); ++tick)
            timeout(m_window->Timer1);
        QCOMPARE(m_record.opened.size(), plays.isEmpty() ? 3 : broken.size() + 1);
        QCOMPARE(player().PlayState(),
                 plays.isEmpty() ? MediaPlayer::Stopped : MediaPlayer::Playing);
        QCOMPARE(m_window->Timer1->isActive(), !plays.isEmpty());
        QCOMPARE(m_window->txtSong->text(), plays.isEmpty() ? QStringLiteral("c.mp3") : plays);
        QVERIFY(playlistIs({"C:\\Music\\a.mp3", "C:\\Music\\b.mp3", "C:\\Music\\c.mp3"}));
        QCOMPARE(shownMessage(), QString());
        QVERIFY(answers());
    }
};

QTEST_MAIN(TestBadInput)
#include "test_badinput.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording.h"
#include "fakes/windowtest.h"
#include "platform/host/hostfilesystem.h"
#include "platform/host/hostmediaplayer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifdef Q_OS_WIN
#include <windows.h>

namespace {
// A drive letter of this session that names a folder that is not there, while it lives.
struct NotReadyDrive
{
    NotReadyDrive()
    {
        const DWORD used = GetLogicalDrives();
        for (char letter = 'Y'; letter >= 'D' && drive.isEmpty(); --letter)
            if (!(used & (1u << (letter - 'A')))
                && DefineDosDeviceW(0, QString(QChar(letter) + u':').toStdWString().c_str(),
                                    L"C:\\no such folder"))
                drive = QChar(letter) + u':';
    }
    ~NotReadyDrive()
    {
        if (!drive.isEmpty())
            DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.toStdWString().c_str(), nullptr);
    }
    QString drive;
};
} // namespace
#endif

// The browser and the playlist on the real adapters: a temporary folder tree mapped as C:,
// walked by clicks to a playlist of drive-form paths that the real player opens and plays.
// Runs under a private sound server (wakewell_audio_test).
class TestBrowseHost : public QObject, public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QListWidget *files() const { return m_window->lstFiles; }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    void makeSong(const QString &path)
    {
        QVERIFY(audio::copySong("440hz-2s.mp3", m_dir.filePath(path)));
    }
    void makeFile(const QString &path)
    {
        QVERIFY(QFile(m_dir.filePath(path)).open(QFile::WriteOnly));
    }

private slots:
    void cleanup()
    {
        m_window.reset();
        stop();
    }

    void walkToAPlaylistThePlayerPlays()
    {
        QVERIFY(m_dir.isValid());
        for (const char *folder : {"Music/Rock", "Music/Jazz", "old.mp3"})
            QVERIFY(QDir(m_dir.path()).mkpath(folder));
        makeSong("Music/Rock/a.mp3");
        makeSong("Music/song.mp3");
        for (const char *name :
             {"Music/Rock/B.MP3", "Music/notes mp3.txt", "mp3notes.txt", "old.mp3/x.txt"})
            makeFile(name);
        const DriveTable drives({{"C:", m_dir.path()}});
        m_window = events::loadWindow(
            Platform {[drives] { return std::make_unique<HostMediaPlayer>(drives); },
                      [drives] { return std::make_unique<HostFileSystem>(drives); }, &m_clock,
                      &m_soundOutput});
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

        chooseDrive("C:");
        QCOMPARE(listed(), (QStringList {"mp3notes.txt", "C:\\Music", "C:\\old.mp3"}));
        clickEntry(files(), "C:\\old.mp3");
        QCOMPARE(listed(), QStringList {"x.txt"});
        click(m_window->cmdUp);
        clickEntry(files(), "C:\\Music");
        QCOMPARE(listed(), (QStringList {"song.mp3", "C:\\Music\\Jazz", "C:\\Music\\Rock"}));
        clickEntry(files(), "C:\\Music\\Rock");
        QCOMPARE(listed(), QStringList {"a.mp3"});
        clickEntry(files(), "a.mp3");
        click(m_window->cmdAdd);
        click(m_window->cmdUp);
        QCOMPARE(m_window->strFolder, QStringLiteral("\\Music"));
        QCOMPARE(listed(),
                 (QStringList {"notes mp3.txt", "song.mp3", "C:\\Music\\Jazz", "C:\\Music\\Rock"}));
        clickEntry(files(), "song.mp3");
        click(m_window->cmdAdd);
        const QStringList songs {"C:\\Music\\Rock\\a.mp3", "C:\\Music\\song.mp3"};
        QVERIFY(playlistIs(songs));

        // A folder deleted after it was listed: the click ends with the error, the list and
        // the position stay, and the window goes on.
        QVERIFY(QDir(m_dir.filePath("Music/Jazz")).removeRecursively());
        clickEntry(files(), "C:\\Music\\Jazz");
        QTRY_COMPARE(messageText(), QStringLiteral("Path not found"));
        closeMessage();
        QCOMPARE(m_window->strFolder, QStringLiteral("\\Music"));
        QCOMPARE(listed().size(), 4);

        QVERIFY(m_window->mpPlayer().HasAudioOutput());
        click(m_window->cmdPlay);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->mpPlayer().PlayState(), MediaPlayer::Playing, 10000);
        QCOMPARE(m_window->txtSong->text(), QStringLiteral("a.mp3"));
        click(m_window->cmdNext);
        QCOMPARE(m_window->txtSong->text(), QStringLiteral("song.mp3"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->mpPlayer().PlayState(), MediaPlayer::Playing, 10000);
        click(m_window->cmdStop);
        QVERIFY(m_window->cmdAdd->isEnabled());
        QCOMPARE(m_window->messageBox(), nullptr);
    }

    // The machine's own drives: a folder below the one the test runs in, reached by clicks
    // from its drive's root, its MP3 file listed and added. Under Wine the host's folders lie
    // on Z:, Wine's own on C:.
    void walkTheMachinesDrives()
    {
        const QTemporaryDir here(QDir::currentPath() + QStringLiteral("/walk-XXXXXX"));
        QVERIFY(here.isValid() && QDir(here.path()).mkdir("Songs"));
        QVERIFY(audio::copySong("440hz-1s.mp3", here.filePath("Songs/a.mp3")));
        QVERIFY(QFile(here.filePath("Songs/notes.txt")).open(QFile::WriteOnly));
#ifdef Q_OS_WIN
        // A drive whose medium or share has gone: a card reader without its card, a network
        // drive whose server is away.
        const NotReadyDrive gone;
        QVERIFY(!gone.drive.isEmpty());
#endif
        m_hostDrives = DriveTable::machine();
        const std::optional<QString> songs = m_hostDrives->toDrive(here.filePath("Songs"));
        QVERIFY(songs);
        start();
        QStringList drives;
        for (const DriveTable::Entry &e : m_hostDrives->entries())
            drives << e.drive;
        QCOMPARE(drives, m_window->fso().Drives());
#ifdef Q_OS_WIN
        QVERIFY(drives.contains("C:") && drives.contains(gone.drive));
        chooseDrive(gone.drive);
        QTRY_COMPARE(messageText(), QStringLiteral("Drives not ready"));
        closeMessage();
#endif
        openFolder(*songs);
        QCOMPARE(listed(), QStringList {"a.mp3"});
        clickEntry(files(), "a.mp3");
        click(m_window->cmdAdd);
        QVERIFY(playlistIs({*songs + "\\a.mp3"}));
        QCOMPARE(m_window->messageBox(), nullptr);
    }
};

QTEST_MAIN(TestBrowseHost)
#include "test_browsehost.moc"

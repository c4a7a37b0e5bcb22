#include "audio/recording.h"
#include "fakes/windowtest.h"
#include "platform/hostfilesystem.h"
#include "platform/hostmediaplayer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
    void cleanup() { m_window.reset(); }

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
                      [drives] { return std::make_unique<HostFileSystem>(drives); }, &m_clock});
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
};

QTEST_MAIN(TestBrowseHost)
#include "test_browsehost.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/windowtest.h"

#include "alarm/ticktiming.h"

#include <QLocale>
#include <QSignalSpy>

namespace {
// The window owns its file system object and releases it at shutdown; this one only passes
// the calls on to the test's tree, which outlives it.
class ForwardingFileSystem final : public FileSystem
{
public:
    explicit ForwardingFileSystem(const FakeFileSystem &fs) : m_fs(fs) { }
    QStringList Drives() const override { return m_fs.Drives(); }
    bool IsReady(const QString &drive) const override { return m_fs.IsReady(drive); }
    Folder GetFolder(const QString &path) const override { return m_fs.GetFolder(path); }
    QList<File> Files(const Folder &folder) const override { return m_fs.Files(folder); }
    QList<Folder> SubFolders(const Folder &f) const override { return m_fs.SubFolders(f); }

private:
    const FakeFileSystem &m_fs;
};

QStringList rowsOf(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}
} // namespace

void WindowTest::start()
{
    // Time texts and numbers as with United States settings, whatever the machine's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_record = PlayerRecord();
    Platform platform {
        [this]() -> std::unique_ptr<MediaPlayer> {
            auto p = std::make_unique<FakeMediaPlayer>(m_record);
            p->volume = m_initialVolume;
            p->audioOutput = m_audioOutput;
            return p;
        },
        [this]() -> std::unique_ptr<FileSystem> {
            if (m_hostDrives)
                return std::make_unique<HostFileSystem>(*m_hostDrives);
            return std::make_unique<ForwardingFileSystem>(m_fs);
        },
        &m_clock,
        &m_soundOutput,
    };
    m_window = events::loadWindow(std::move(platform));
    const QSignalSpy onScreen(m_window.get(), &frmPlayer::shownOnScreen);
    m_window->show();
    // Until what runs once the window is seen (the check of the sound outputs) has run.
    QTRY_COMPARE(onScreen.count(), 1);
}

void WindowTest::stop()
{
    m_window.reset();
    m_fs = FakeFileSystem();
    m_clock = FakeClock();
    m_initialVolume = -600;
    m_audioOutput = true;
    m_hostDrives.reset();
}

void WindowTest::startHeld()
{
    start();
    QVERIFY(m_window->Timer2->isActive());
    QCOMPARE(m_window->Timer2->interval(), ticktiming::msUntilNextTick(m_clock.now()));
    m_window->Timer2->stop();
}

void WindowTest::timeout(QTimer *timer)
{
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
}

void WindowTest::tick()
{
    QTimer *timer = m_window->Timer2;
    timer->stop();
    timeout(timer);
    QVERIFY(timer->isActive() && timer->isSingleShot());
    QCOMPARE(timer->interval(), ticktiming::msUntilNextTick(m_clock.now()));
    timer->stop();
}

void WindowTest::tickAfter(qint64 ms)
{
    m_clock.advance(ms);
    tick();
}

void WindowTest::ticks(int n)
{
    for (int i = 0; i < n; ++i)
        tickAfter(1000);
}

void WindowTest::tickAt(QTime time)
{
    QDateTime next(m_clock.wall.date(), time);
    if (next <= m_clock.wall)
        next = next.addDays(1);
    tickAfter(m_clock.wall.msecsTo(next));
}

FakeMediaPlayer &WindowTest::player() const
{
    if (!m_record.live)
        qFatal("the window holds no player");
    return *m_record.live;
}

QString WindowTest::messageText() const
{
    QMessageBox *box = m_window->messageBox();
    return box ? box->text() : QString();
}

void WindowTest::closeMessage()
{
    if (QMessageBox *box = m_window->messageBox())
        box->accept();
    QCoreApplication::processEvents();
}

void WindowTest::chooseDrive(const QString &drive)
{
    auto *box = child<QComboBox>("cmbDrives");
    const int index = box->findText(drive);
    QVERIFY2(index >= 0, qPrintable(drive));
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void WindowTest::clickEntry(QListWidget *list, const QString &text, Qt::KeyboardModifiers keys)
{
    const auto found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->scrollToItem(found.first());
    const QRect rect = list->visualItemRect(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, rect.center());
}

void WindowTest::openFolder(const QString &folder)
{
    auto *files = child<QListWidget>("lstFiles");
    chooseDrive(folder.left(2));
    const QStringList parts = folder.mid(3).split(u'\\', Qt::SkipEmptyParts);
    QString path = folder.left(2);
    for (const QString &part : parts) {
        path += u'\\' + part;
        clickEntry(files, path);
    }
}

void WindowTest::addToPlaylist(const QString &folder, const QStringList &names)
{
    auto *files = child<QListWidget>("lstFiles");
    openFolder(folder);
    for (int i = 0; i < names.size(); ++i)
        clickEntry(files, names[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
    QTest::mouseClick(child<QPushButton>("cmdAdd"), Qt::LeftButton);
}

QStringList WindowTest::playlistEntries() const
{
    QStringList entries;
    for (int k = 1; k <= m_window->colPlaylist().Count(); ++k)
        entries << m_window->colPlaylist().Item(k);
    return entries;
}

QStringList WindowTest::listed() const
{
    return rowsOf(child<QListWidget>("lstFiles"));
}

QStringList WindowTest::playlistRows() const
{
    return rowsOf(child<QListWidget>("lstSelected"));
}

bool WindowTest::playlistIs(const QStringList &paths) const
{
    QStringList names;
    for (const QString &path : paths)
        names << drivepath::fileName(path);
    return QTest::qCompare(playlistEntries(), paths, "colPlaylist", "paths", __FILE__, __LINE__)
        && QTest::qCompare(playlistRows(), names, "lstSelected", "names", __FILE__, __LINE__);
}

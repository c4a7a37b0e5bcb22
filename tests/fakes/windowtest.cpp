#include "fakes/windowtest.h"

#include <QLocale>

namespace {
// The window owns its file system object and releases it at shutdown; this one only passes
// the calls on to the test's tree, which outlives it.
class ForwardingFileSystem final : public FileSystem
{
public:
    explicit ForwardingFileSystem(const FakeFileSystem &fs)
        : m_fs(fs)
    {
    }
    QStringList Drives() const override { return m_fs.Drives(); }
    bool IsReady(const QString &drive) const override { return m_fs.IsReady(drive); }
    Folder GetFolder(const QString &path) const override { return m_fs.GetFolder(path); }
    QList<File> Files(const Folder &folder) const override { return m_fs.Files(folder); }
    QList<Folder> SubFolders(const Folder &f) const override { return m_fs.SubFolders(f); }

private:
    const FakeFileSystem &m_fs;
};
} // namespace

void WindowTest::start()
{
    // Time texts and numbers as with United States settings, whatever the machine's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_record = PlayerRecord();
    Platform platform {
        [this] {
            auto p = std::make_unique<FakeMediaPlayer>(m_record);
            p->volume = m_initialVolume;
            return p;
        },
        [this] { return std::make_unique<ForwardingFileSystem>(m_fs); },
        &m_clock,
    };
    m_window = std::make_unique<frmPlayer>(std::move(platform));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void WindowTest::stop()
{
    m_window.reset();
    m_fs = FakeFileSystem();
    m_clock = FakeClock();
    m_initialVolume = -600;
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

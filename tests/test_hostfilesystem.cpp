// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/unprivileged.h"
#include "platform/error.h"
#include "platform/host/hostfilesystem.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// The description of the error a call raises, or empty when it raises none.
QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const WakewellError &e) {
        return e.description();
    }
    return QString();
}

QStringList names(const QList<FileSystem::File> &files)
{
    QStringList out;
    for (const auto &f : files)
        out << f.Path;
    return out;
}

QStringList paths(const QList<FileSystem::Folder> &folders)
{
    QStringList out;
    for (const auto &f : folders)
        out << f.Path;
    return out;
}

} // namespace

// The file system adapter on a temporary folder mapped as a drive.
class TestHostFileSystem : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        m_fs.emplace(DriveTable({{"C:", m_dir->path()}, {"D:", m_dir->filePath("gone")}}));
    }
    // So that the temporary folder can be removed by a user who is not root.
    void cleanup()
    {
        QFile::setPermissions(m_dir->filePath("Locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void listsInDriveFormInStableOrder()
    {
        for (const char *name : {"b.mp3", "a.mp3", "Rock/x.mp3", "Zed.txt"})
            touch(name);
        for (const char *name : {"jazz", "Rock"})
            QVERIFY(QDir(m_dir->path()).mkpath(QString::fromLatin1(name)));
#ifdef Q_OS_UNIX
        // Names side by side that differ only in case; names that drive form cannot carry.
        for (const char *name : {"A.mp3", "back\\slash.mp3", "tab\tname.mp3"})
            touch(name);
        for (const char *name : {"Jazz", "odd\\one"})
            QVERIFY(QDir(m_dir->path()).mkpath(QString::fromLatin1(name)));
        // Neither a file nor a folder: left out.
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath("pipe")).constData(), 0600), 0);
        QVERIFY(QFile::link(m_dir->filePath("nowhere"), m_dir->filePath("broken")));
        const QStringList files {"C:\\A.mp3", "C:\\a.mp3", "C:\\b.mp3", "C:\\Zed.txt"};
        const QStringList folders {"C:\\Jazz", "C:\\jazz", "C:\\Rock"};
#else
        const QStringList files {"C:\\a.mp3", "C:\\b.mp3", "C:\\Zed.txt"};
        const QStringList folders {"C:\\jazz", "C:\\Rock"};
#endif

        QCOMPARE(m_fs->Drives(), (QStringList {"C:", "D:"}));
        const FileSystem::Folder root = m_fs->RootFolder("C:");
        QCOMPARE(root.Path, QStringLiteral("C:\\"));
        QVERIFY(!root.ParentFolder());
        QCOMPARE(names(m_fs->Files(root)), files);
        QCOMPARE(paths(m_fs->SubFolders(root)), folders);

        const FileSystem::Folder rock = m_fs->GetFolder("C:\\Rock");
        QCOMPARE(rock.Name, QStringLiteral("Rock"));
        QCOMPARE(m_fs->Files(rock).value(0).Name, QStringLiteral("x.mp3"));
        QCOMPARE(m_fs->Files(rock).value(0).Path, QStringLiteral("C:\\Rock\\x.mp3"));
        QCOMPARE(rock.ParentFolder(), root);
    }

    // The order is that of QString::compare without case, ties by exact name, also past
    // ASCII; one read gives both lists as the two calls do.
    void ordersNamesBeyondAsciiAndReadsOnce()
    {
        QStringList created {"über.mp3", "Éb.mp3",  "aB.mp3", "a_b.mp3",
                             "éa.mp3",   "Zed.mp3", "a.mp3"};
#ifdef Q_OS_UNIX
        // Only a case-sensitive file system holds both.
        created << "Über.mp3";
#endif
        for (const QString &name : created)
            QVERIFY(QFile(m_dir->filePath(name)).open(QIODevice::WriteOnly));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Ökologie")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("oz")));
        const FileSystem::Folder root = m_fs->RootFolder("C:");
        const QStringList files = names(m_fs->Files(root));
        QStringList expected = QString("C:\\a.mp3 C:\\a_b.mp3 C:\\aB.mp3 C:\\Zed.mp3 C:\\éa.mp3 "
                                       "C:\\Éb.mp3 C:\\Über.mp3 C:\\über.mp3")
                                   .split(u' ');
        if (!created.contains("Über.mp3"))
            expected.removeOne("C:\\Über.mp3");
        QCOMPARE(files, expected);
        QCOMPARE(paths(m_fs->SubFolders(root)), (QStringList {"C:\\oz", "C:\\Ökologie"}));
        const FileSystem::Content content = m_fs->FilesAndSubFolders(root);
        QCOMPARE(names(content.files), files);
        QCOMPARE(content.subFolders, m_fs->SubFolders(root));
    }

    void failsWithClearErrors()
    {
        touch("song.mp3");
        QVERIFY(m_fs->IsReady("C:"));
        QVERIFY(!m_fs->IsReady("D:"));
        QCOMPARE(errorOf([&] { m_fs->IsReady("Q:"); }), errors::deviceUnavailable);
        for (const char *path :
             {"C:\\Missing", "C:\\song.mp3", "Q:\\", "D:", "C:\\a/..", "C:\\..\\.."})
            QCOMPARE(errorOf([&] { m_fs->GetFolder(QString::fromLatin1(path)); }),
                     errors::pathNotFound);
        const auto folder = m_fs->GetFolder("C:\\");
        QDir(m_dir->path()).removeRecursively();
        QCOMPARE(errorOf([&] { m_fs->Files(folder); }), errors::pathNotFound);
    }

    void unreadableFolderIsRefused()
    {
#ifdef Q_OS_UNIX
        QDir(m_dir->path()).mkpath("Locked/Inner");
        touch("Locked/song.mp3");
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(m_dir->path(), open));
        QVERIFY(QFile::setPermissions(m_dir->filePath("Locked"), {}));
        const HostFileSystem locked(DriveTable({{"C:", m_dir->path()},
                                                { "E:",
                                                  m_dir->filePath("Locked") }}));
        const Unprivileged nobody;
        QVERIFY2(nobody.refusesUnreadable(), "could not leave root");
        QVERIFY(!locked.IsReady("E:"));
        const auto folder = locked.GetFolder("C:\\Locked");
        QCOMPARE(errorOf([&] { locked.Files(folder); }), errors::permissionDenied);
        QCOMPARE(errorOf([&] { locked.SubFolders(folder); }), errors::permissionDenied);
        QCOMPARE(errorOf([&] { locked.GetFolder("C:\\Locked\\Inner"); }), errors::permissionDenied);
#else
        QSKIP("permission bits are a POSIX matter");
#endif
    }

    void mappingNeverEscapes_data()
    {
        QTest::addColumn<QString>("drivePath");
        QTest::addColumn<QString>("host"); // below the drive's folder; "-" when refused
        QTest::newRow("drive") << "C:"
                               << "";
        QTest::newRow("root") << "C:\\"
                              << "";
        QTest::newRow("small letter") << "c:\\Music"
                                      << "/Music";
        QTest::newRow("trailing") << "C:\\Music\\"
                                  << "/Music";
        QTest::newRow("nested") << "C:\\Music\\Rock\\a.mp3"
                                << "/Music/Rock/a.mp3";
        QTest::newRow("dot dot") << "C:\\Music\\..\\..\\etc"
                                 << "-";
        QTest::newRow("dot") << "C:\\.\\Music"
                             << "-";
        QTest::newRow("slash") << "C:\\a/../../etc"
                               << "-";
        QTest::newRow("empty name") << "C:\\\\etc"
                                    << "-";
        QTest::newRow("relative") << "C:Music"
                                  << "-";
        QTest::newRow("control") << QString("C:\\a\nb") << "-";
        QTest::newRow("nul") << QString("C:\\a") + QChar(0) + "b"
                             << "-";
        QTest::newRow("other drive") << "Q:\\Music"
                                     << "-";
        QTest::newRow("no drive") << "\\Music"
                                  << "-";
    }

    void mappingNeverEscapes()
    {
        QFETCH(QString, drivePath);
        QFETCH(QString, host);
        const DriveTable table({{"C:", "/srv/c"}, {"D:", "/srv/c/d"}});
        const auto mapped = table.toHost(drivePath);
        if (host == u"-") {
            QCOMPARE(mapped, std::nullopt);
            return;
        }
        QCOMPARE(mapped, std::optional<QString>("/srv/c" + host));
        // And back again: the drive-form path, without a trailing "\".
        const QString canonical = host.isEmpty() ? "C:\\" : "C:" + host.replace('/', '\\');
        QCOMPARE(table.toDrive(*mapped), std::optional<QString>(canonical));
    }

    void hostPathsToDriveForm_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("drive"); // "-" when none
        QTest::newRow("inner drive wins") << "/srv/c/d/x"
                                          << "D:\\x";
        QTest::newRow("drive root") << "/srv/c/d"
                                    << "D:\\";
        QTest::newRow("cleaned") << "/srv/c/d/../e/./f"
                                 << "C:\\e\\f";
        QTest::newRow("climbs out") << "/srv/c/../etc"
                                    << "-";
        QTest::newRow("prefix only") << "/srv/cd"
                                     << "-";
#ifdef Q_OS_WIN
        QTest::newRow("backslash") << "/srv/c/a\\b"
                                   << "C:\\a\\b";
#else
        QTest::newRow("backslash") << "/srv/c/a\\b"
                                   << "-";
#endif
        QTest::newRow("relative") << "srv/c"
                                  << "-";
    }

    void hostPathsToDriveForm()
    {
        QFETCH(QString, host);
        QFETCH(QString, drive);
        const DriveTable table({{"C:", "/srv/c"}, {"D:", "/srv/c/d"}});
        QCOMPARE(table.toDrive(host), drive == u"-" ? std::nullopt : std::optional<QString>(drive));
    }

    // C: is /, then one drive per further disk or removable medium, in mount order.
    void drivesFromMountedVolumes()
    {
        for (const char *name : {"usb", "disk", "bind", "snap", "proc"})
            QVERIFY(QDir(m_dir->path()).mkpath(QString::fromLatin1(name)));
        touch("hosts");
        const QString d = m_dir->path() + u'/';
        const DriveTable table = DriveTable::fromVolumes({
            {"proc", d + "proc", "proc"},
            {"/dev/sdb1", d + "usb/", "vfat"},
            {"/dev/vda", "/", "ext4"},
            {"/dev/vda", d + "bind", "ext4"},
            {"/dev/sdc1", d + "hosts", "ext4"},
            {"/dev/loop3", d + "snap", "squashfs"},
            {"/dev/sdd1", d + "missing", "ext4"},
            {"/dev/sdc1", d + "disk", "ext4"},
            {"/dev/sdb1", d + "disk", "vfat"},
        });
        QCOMPARE(table.entries().size(), 3);
        QCOMPARE(table.entries()[0].hostPath, QStringLiteral("/"));
        QCOMPARE(table.entries()[1].drive, QStringLiteral("D:"));
        QCOMPARE(table.entries()[1].hostPath, d + "usb");
        QCOMPARE(table.entries()[2].drive, QStringLiteral("E:"));
        QCOMPARE(table.entries()[2].hostPath, d + "disk");

#ifndef Q_OS_WIN
        const DriveTable machine = DriveTable::machine();
        QCOMPARE(machine.entries().value(0).drive, QStringLiteral("C:"));
        QCOMPARE(machine.entries().value(0).hostPath, QStringLiteral("/"));
#endif
    }

#ifdef Q_OS_WIN
    // Windows' own drives, by letter, each its own root; under Wine C: is Wine's own folder
    // and Z: the host's root.
    void drivesOfTheMachine()
    {
        const QList<DriveTable::Entry> drives = DriveTable::machine().entries();
        QStringList letters;
        for (const DriveTable::Entry &e : drives) {
            QVERIFY2(QRegularExpression("^[A-Z]:$").match(e.drive).hasMatch(), qPrintable(e.drive));
            QCOMPARE(e.hostPath, e.drive + u'/');
            letters << e.drive;
        }
        QVERIFY(letters.contains("C:"));
        QStringList sorted = letters;
        sorted.sort();
        QCOMPARE(letters, sorted);

        const HostFileSystem machine(DriveTable::machine());
        QVERIFY(machine.IsReady("C:"));
        QVERIFY(paths(machine.SubFolders(machine.RootFolder("C:")))
                    .contains("C:\\Windows", Qt::CaseInsensitive));
        // Wine's ntdll names itself.
        if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
            QVERIFY(paths(machine.SubFolders(machine.RootFolder("Z:"))).contains("Z:\\usr"));
            QVERIFY(names(machine.Files(machine.GetFolder("Z:\\usr\\bin")))
                        .contains("Z:\\usr\\bin\\env"));
        }
    }
#endif

private:
    void touch(const char *name)
    {
        QFile file(m_dir->filePath(QString::fromLatin1(name)));
        QDir().mkpath(QFileInfo(file).path());
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    std::optional<QTemporaryDir> m_dir;
    std::optional<HostFileSystem> m_fs;
};

QTEST_GUILESS_MAIN(TestHostFileSystem)
#include "test_hostfilesystem.moc"

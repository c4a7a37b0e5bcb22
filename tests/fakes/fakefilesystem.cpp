// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/fakefilesystem.h"

#include "platform/error.h"

void FakeFileSystem::addDrive(const QString &drive, bool ready)
{
    m_drives << drive;
    m_folders[drive + u'\\'];
    setReady(drive, ready);
}

void FakeFileSystem::addFolder(const QString &path)
{
    const auto folder = drivepath::folderAt(path);
    Q_ASSERT(folder);
    if (m_folders.contains(folder->Path))
        return;
    const auto parent = folder->ParentFolder();
    Q_ASSERT(parent);
    addFolder(parent->Path);
    m_folders[parent->Path].folders << folder->Name;
    m_folders[folder->Path];
}

void FakeFileSystem::addFile(const QString &path)
{
    const int cut = path.lastIndexOf(u'\\');
    const QString folder = path.left(cut);
    addFolder(folder);
    m_folders[drivepath::folderAt(folder)->Path].files << path.mid(cut + 1);
}

void FakeFileSystem::setReady(const QString &drive, bool ready)
{
    if (ready)
        m_notReady.remove(drive);
    else
        m_notReady.insert(drive);
}

void FakeFileSystem::removeFolder(const QString &path)
{
    const auto folder = drivepath::folderAt(path);
    Q_ASSERT(folder && folder->ParentFolder());
    m_folders[folder->ParentFolder()->Path].folders.removeAll(folder->Name);
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it.key() == folder->Path || it.key().startsWith(folder->Path + u'\\'))
            it = m_folders.erase(it);
        else
            ++it;
    }
}

void FakeFileSystem::deny(const QString &path)
{
    m_denied.insert(drivepath::folderAt(path)->Path);
}

QStringList FakeFileSystem::Drives() const
{
    return m_drives;
}

bool FakeFileSystem::IsReady(const QString &drive) const
{
    if (!m_drives.contains(drive))
        throw WakewellError(errors::deviceUnavailable);
    return !m_notReady.contains(drive);
}

FileSystem::Folder FakeFileSystem::GetFolder(const QString &path) const
{
    const auto folder = drivepath::folderAt(path);
    if (!folder || !m_folders.contains(folder->Path))
        throw WakewellError(errors::pathNotFound);
    if (m_notReady.contains(folder->Path.left(2)))
        throw WakewellError(errors::deviceUnavailable);
    return *folder;
}

const FakeFileSystem::Node &FakeFileSystem::readable(const Folder &folder) const
{
    const auto it = m_folders.constFind(folder.Path);
    if (it == m_folders.cend())
        throw WakewellError(errors::pathNotFound);
    if (m_denied.contains(folder.Path))
        throw WakewellError(errors::permissionDenied);
    return *it;
}

QList<FileSystem::File> FakeFileSystem::Files(const Folder &folder) const
{
    QList<File> files;
    for (const QString &name : readable(folder).files)
        files.append({name, drivepath::join(folder.Path, name)});
    return files;
}

QList<FileSystem::Folder> FakeFileSystem::SubFolders(const Folder &folder) const
{
    QList<Folder> folders;
    for (const QString &name : readable(folder).folders)
        folders.append(*drivepath::folderAt(drivepath::join(folder.Path, name)));
    return folders;
}

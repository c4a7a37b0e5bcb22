// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/filesystem.h"

#include <QMap>
#include <QSet>

// Drives, folders and files in memory, in drive form. Folders and files are listed in the
// order in which the test made them.
class FakeFileSystem final : public FileSystem
{
public:
    void addDrive(const QString &drive, bool ready = true);
    // Makes the folder, and every folder above it on its drive.
    void addFolder(const QString &path);
    // Makes the file, and every folder above it.
    void addFile(const QString &path);
    void setReady(const QString &drive, bool ready);
    // The folder and everything below it are gone.
    void removeFolder(const QString &path);
    // Reading the folder's content is refused from now on.
    void deny(const QString &path);

    QStringList Drives() const override;
    bool IsReady(const QString &drive) const override;
    Folder GetFolder(const QString &path) const override;
    QList<File> Files(const Folder &folder) const override;
    QList<Folder> SubFolders(const Folder &folder) const override;

private:
    struct Node
    {
        QStringList files; // names
        QStringList folders; // names
    };
    const Node &readable(const Folder &folder) const;

    QStringList m_drives;
    QSet<QString> m_notReady;
    QSet<QString> m_denied;
    QMap<QString, Node> m_folders; // by path, roots as C:\ .
};

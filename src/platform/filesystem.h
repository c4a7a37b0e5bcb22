// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// All that the window asks of drives, folders and files; read only. Paths are in drive
// form: a drive text is a letter and a colon (C:), a folder's path is the drive text
// followed by "\" and each component (C:\Music\Rock), a drive's root folder is C:\ .
// A call that fails (a folder gone, a medium missing, access refused) throws WakewellError.
class FileSystem
{
public:
    struct File
    {
        QString Name; // Song.mp3
        QString Path; // C:\Music\Song.mp3
    };

    struct Folder
    {
        QString Path; // C:\Music\Rock, or C:\ for a root
        QString Name; // Rock, or empty for a root
        // The folder that contains this one; none for a drive's root folder.
        std::optional<Folder> ParentFolder() const;
        bool operator==(const Folder &) const = default;
    };

    virtual ~FileSystem() = default;

    // Every drive of the machine, as drive texts, in the component's own order.
    virtual QStringList Drives() const = 0;
    // True when the drive's medium can be read. Throws for a drive that does not exist.
    virtual bool IsReady(const QString &drive) const = 0;
    // The folder at a path; a drive text alone (C:) names the drive's root folder.
    virtual Folder GetFolder(const QString &path) const = 0;
    // The files and the folders directly in a folder, in a stable order.
    virtual QList<File> Files(const Folder &folder) const = 0;
    virtual QList<Folder> SubFolders(const Folder &folder) const = 0;

    struct Content
    {
        QList<File> files;
        QList<Folder> subFolders;
    };
    // Files and then SubFolders of one folder. An adapter that reads a folder in one pass
    // gives both from that pass, so that a listing reads the folder once, not twice.
    virtual Content FilesAndSubFolders(const Folder &folder) const;

    Folder RootFolder(const QString &drive) const { return GetFolder(drive); }
};

namespace drivepath {
// The part of a drive-form path after its last "\", or the whole text when it has none.
QString fileName(const QString &path);
// The path joined under a folder's path: C:\ + a gives C:\a, C:\Music + a gives C:\Music\a.
QString join(const QString &folderPath, const QString &name);
// Folder value for a drive-form path (C:, C:\, C:\Music\ or C:\Music); the path as given
// must name a folder below a drive, without "." or ".." components.
std::optional<FileSystem::Folder> folderAt(const QString &path);
} // namespace drivepath

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/filesystem.h"

#include <QList>
#include <QString>

#include <optional>

// Maps drive texts (C:, D:, ...) onto folders of the host, in drive order. A mapped path
// never leaves its drive's folder: "." and ".." and names that the host would read as more
// than one name are refused both ways.
class DriveTable
{
public:
    struct Entry
    {
        QString drive; // C:
        QString hostPath; // the host folder it stands for
    };

    // A mounted volume as the host lists it.
    struct Volume
    {
        QString device; // /dev/sdb1
        QString rootPath; // /media/ann/USB
        QString type; // vfat
    };

    DriveTable() = default;
    explicit DriveTable(QList<Entry> entries);
    // The machine's own: its drives on Windows; elsewhere C: is / and D:, E:, ... the other
    // mounted volumes that hold files, in mount order (see fromVolumes()).
    static DriveTable machine();
    // C: is /; then D:, E:, ... up to Z: the volumes, in the order given, that are folders on a
    // block device (disks and removable media) which no earlier drive holds already: pseudo
    // file systems, a second mount of a device (a bind mount) and read-only package images
    // (squashfs) are left out.
    static DriveTable fromVolumes(const QList<Volume> &volumes);

    const QList<Entry> &entries() const { return m_entries; }
    // The host path of a drive-form path; none when it names no drive of the table or
    // could leave its drive's folder.
    std::optional<QString> toHost(const QString &drivePath) const;
    // The drive-form path of a host path; none when no drive holds it or a name on the
    // way cannot be carried in drive form.
    std::optional<QString> toDrive(const QString &hostPath) const;

private:
    const Entry *find(const QString &drive) const;

    QList<Entry> m_entries;
};

// The file system on the host's own folders, read only. Listings leave out what drive form
// cannot name and what is neither a file nor a folder (sockets, broken links).
class HostFileSystem final : public FileSystem
{
public:
    explicit HostFileSystem(DriveTable drives);

    QStringList Drives() const override;
    // True when the drive's folder exists and its content can be read.
    bool IsReady(const QString &drive) const override;
    Folder GetFolder(const QString &path) const override;
    QList<File> Files(const Folder &folder) const override;
    QList<Folder> SubFolders(const Folder &folder) const override;
    Content FilesAndSubFolders(const Folder &folder) const override;

private:
    struct Listing
    {
        QStringList files;
        QStringList folders;
    };
    // The folder's names, each sorted case-insensitively, ties by exact name.
    Listing list(const Folder &folder) const;

    DriveTable m_drives;
};

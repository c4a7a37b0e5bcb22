#pragma once

#include "platform/filesystem.h"

#include <QList>
#include <QString>

#include <optional>

// Maps drive texts (C:, D:, ...) onto folders of the host, in drive order.
class DriveTable
{
public:
    struct Entry
    {
        QString drive; // C:
        QString hostPath; // the host folder it stands for
    };

    DriveTable() = default;
    explicit DriveTable(QList<Entry> entries);
    // The machine's own: its drives on Windows; elsewhere C: is / and D:, E:, ... the other
    // mounted volumes that hold files, in mount order.
    static DriveTable machine();

    const QList<Entry> &entries() const { return m_entries; }
    // The host path of a drive-form path; none when it names no drive of the table or
    // could leave its drive's folder.
    std::optional<QString> toHost(const QString &drivePath) const;
    // The drive-form path of a host path; none when no drive holds it or a name on the
    // way cannot be carried in drive form.
    std::optional<QString> toDrive(const QString &hostPath) const;

private:
    QList<Entry> m_entries;
};

// The file system on the host's own folders, read only.
class HostFileSystem final : public FileSystem
{
public:
    explicit HostFileSystem(DriveTable drives);

    QStringList Drives() const override;
    bool IsReady(const QString &drive) const override;
    Folder GetFolder(const QString &path) const override;
    QList<File> Files(const Folder &folder) const override;
    QList<Folder> SubFolders(const Folder &folder) const override;

private:
    DriveTable m_drives;
};

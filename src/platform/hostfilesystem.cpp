#include "platform/hostfilesystem.h"

#include <QDir>

DriveTable::DriveTable(QList<Entry> entries) : m_entries(std::move(entries)) { }

DriveTable DriveTable::machine()
{
    return DriveTable({{QStringLiteral("C:"), QDir::rootPath()}});
}

std::optional<QString> DriveTable::toHost(const QString &) const
{
    return std::nullopt;
}
std::optional<QString> DriveTable::toDrive(const QString &) const
{
    return std::nullopt;
}

HostFileSystem::HostFileSystem(DriveTable drives) : m_drives(std::move(drives)) { }

QStringList HostFileSystem::Drives() const
{
    return {};
}
bool HostFileSystem::IsReady(const QString &) const
{
    return false;
}
FileSystem::Folder HostFileSystem::GetFolder(const QString &) const
{
    return {};
}
QList<FileSystem::File> HostFileSystem::Files(const Folder &) const
{
    return {};
}
QList<FileSystem::Folder> HostFileSystem::SubFolders(const Folder &) const
{
    return {};
}

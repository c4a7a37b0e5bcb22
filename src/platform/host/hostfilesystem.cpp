// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/hostfilesystem.h"

#include "platform/error.h"
#include "platform/host/hostfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

// A name that stands for exactly one entry of a folder, both in drive form and on the host:
// "." and ".." would climb, a separator of either kind would split it, a control character
// can cut a path short or hide in a list, and on Windows a colon names a drive or a stream.
bool hostfolders::carriable(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == u'\\' || c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f
            || hostfolders::splitsName(c);
    });
}

namespace {

[[noreturn]] void fail(const std::error_code &ec)
{
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        throw WakewellError(errors::permissionDenied);
    if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory)
        throw WakewellError(errors::pathNotFound);
    // A folder deeper than the host can name in one path (PATH_MAX): it is there, but
    // cannot be opened; "Device unavailable" would send the user looking for a fault.
    if (ec == std::errc::filename_too_long)
        throw WakewellError(errors::pathTooLong);
    throw WakewellError(errors::deviceUnavailable);
}

QString joinHost(const QString &folder, const QString &below)
{
    return folder.endsWith(u'/') ? folder + below : folder + u'/' + below;
}

// Case-insensitive by name, ties by exact name. Names are mostly ASCII: those characters are
// folded here, and QString::compare folds only from the first other one on (the prefix before
// it is equal under both foldings); sorting a large folder takes a third of the time.
bool byName(const QString &a, const QString &b)
{
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    const qsizetype common = std::min(a.size(), b.size());
    qsizetype i = 0;
    for (; i < common && a[i].unicode() < 0x80 && b[i].unicode() < 0x80; ++i) {
        const char16_t x = fold(a[i].unicode()), y = fold(b[i].unicode());
        if (x != y)
            return x < y;
    }
    const int c = QStringView(a).sliced(i).compare(QStringView(b).sliced(i), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

QList<FileSystem::File> filesIn(const FileSystem::Folder &folder, const QStringList &names)
{
    QList<FileSystem::File> files;
    files.reserve(names.size());
    for (const QString &name : names)
        files.append({name, drivepath::join(folder.Path, name)});
    return files;
}

// The names are carriable, so each joined path is a folder in drive form as it stands.
QList<FileSystem::Folder> foldersIn(const FileSystem::Folder &folder, const QStringList &names)
{
    QList<FileSystem::Folder> folders;
    folders.reserve(names.size());
    for (const QString &name : names)
        folders.append({drivepath::join(folder.Path, name), name});
    return folders;
}

} // namespace

DriveTable::DriveTable(QList<Entry> entries) : m_entries(std::move(entries)) { }

DriveTable DriveTable::fromVolumes(const QList<Volume> &volumes)
{
    const QString root = QStringLiteral("/");
    QList<Entry> entries {{QStringLiteral("C:"), root}};
    QStringList held; // devices that a drive reaches already
    for (const Volume &v : volumes)
        if (QDir::cleanPath(v.rootPath) == root)
            held << v.device;
    char letter = 'D';
    for (const Volume &v : volumes) {
        const QString path = QDir::cleanPath(v.rootPath);
        if (letter > 'Z')
            break;
        if (path == root || !v.device.startsWith(QStringLiteral("/dev/")) || v.type == u"squashfs"
            || held.contains(v.device) || !QFileInfo(path).isDir())
            continue;
        held << v.device;
        entries.append({QChar::fromLatin1(letter++) + QStringLiteral(":"), path});
    }
    return DriveTable(entries);
}

const DriveTable::Entry *DriveTable::find(const QString &drive) const
{
    for (const Entry &e : m_entries)
        if (e.drive.compare(drive, Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

std::optional<QString> DriveTable::toHost(const QString &drivePath) const
{
    const Entry *entry = find(drivePath.left(2));
    if (!entry)
        return std::nullopt;
    QString below = drivePath.mid(2);
    // C: and C:\ are the root; C:Music (relative to a current folder) is refused.
    if (!below.isEmpty() && !below.startsWith(u'\\'))
        return std::nullopt;
    below = below.mid(1);
    if (below.endsWith(u'\\'))
        below.chop(1);
    if (below.isEmpty())
        return entry->hostPath;
    const QStringList names = below.split(u'\\');
    if (!std::all_of(names.cbegin(), names.cend(), hostfolders::carriable))
        return std::nullopt;
    return joinHost(entry->hostPath, names.join(u'/'));
}

std::optional<QString> DriveTable::toDrive(const QString &hostPath) const
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(hostPath));
    if (!QDir::isAbsolutePath(path))
        return std::nullopt;
    const Entry *best = nullptr;
    QString below;
    for (const Entry &e : m_entries) {
        const QString root = QDir::cleanPath(e.hostPath);
        const QString prefix = root.endsWith(u'/') ? root : root + u'/';
        const bool holds = path.compare(root, hostfolders::nameCase) == 0
            || path.startsWith(prefix, hostfolders::nameCase);
        if (holds && (!best || root.size() > QDir::cleanPath(best->hostPath).size())) {
            best = &e;
            below = path.mid(qMin(prefix.size(), path.size()));
        }
    }
    if (!best)
        return std::nullopt;
    const QStringList names = below.split(u'/', Qt::SkipEmptyParts);
    if (!std::all_of(names.cbegin(), names.cend(), hostfolders::carriable))
        return std::nullopt;
    return best->drive + u'\\' + names.join(u'\\');
}

HostFileSystem::HostFileSystem(DriveTable drives) : m_drives(std::move(drives)) { }

QStringList HostFileSystem::Drives() const
{
    QStringList drives;
    for (const DriveTable::Entry &e : m_drives.entries())
        drives << e.drive;
    return drives;
}

bool HostFileSystem::IsReady(const QString &drive) const
{
    const auto host = m_drives.toHost(drive);
    if (!host)
        throw WakewellError(errors::deviceUnavailable);
    // Opening the listing is the one true test: permission bits, ACLs and a missing medium
    // all show here, as they would when the folder is read.
    return hostfolders::canOpen(*host);
}

FileSystem::Folder HostFileSystem::GetFolder(const QString &path) const
{
    const auto folder = drivepath::folderAt(path);
    const auto host = folder ? m_drives.toHost(folder->Path) : std::nullopt;
    if (!host)
        throw WakewellError(errors::pathNotFound);
    std::error_code ec;
    if (!fs::is_directory(hostfolders::toPath(*host), ec))
        fail(ec ? ec : std::make_error_code(std::errc::not_a_directory));
    return *folder;
}

HostFileSystem::Listing HostFileSystem::list(const Folder &folder) const
{
    const auto host = m_drives.toHost(folder.Path);
    if (!host)
        throw WakewellError(errors::pathNotFound);
    Listing listing;
    if (const std::error_code ec = hostfolders::read(*host, listing.files, listing.folders))
        fail(ec);
    std::sort(listing.files.begin(), listing.files.end(), byName);
    std::sort(listing.folders.begin(), listing.folders.end(), byName);
    return listing;
}

QList<FileSystem::File> HostFileSystem::Files(const Folder &folder) const
{
    return filesIn(folder, list(folder).files);
}

QList<FileSystem::Folder> HostFileSystem::SubFolders(const Folder &folder) const
{
    return foldersIn(folder, list(folder).folders);
}

FileSystem::Content HostFileSystem::FilesAndSubFolders(const Folder &folder) const
{
    const Listing listing = list(folder);
    return {filesIn(folder, listing.files), foldersIn(folder, listing.folders)};
}

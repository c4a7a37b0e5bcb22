// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/host/hostfilesystem.h"

#include "platform/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity hostCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity hostCase = Qt::CaseSensitive;
#endif

// A name that stands for exactly one entry of a folder, both in drive form and on the host:
// "." and ".." would climb, a separator of either kind would split it, a control character
// can cut a path short or hide in a list, and on Windows a colon names a drive or a stream.
bool carriable(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == u'\\' || c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f
#ifdef Q_OS_WIN
            || c == u':'
#endif
            ;
    });
}

fs::path toPath(const QString &hostPath)
{
#ifdef Q_OS_WIN
    // The extended form (\\?\C:\...) reaches past MAX_PATH, 260 characters, where music
    // folders do lie. It takes only absolute paths with backslashes, as the drive table's
    // become; a drive's root stays as it is, since msvcrt's stat() refuses its extended form.
    QString path = QDir::toNativeSeparators(hostPath);
    if (path.size() > 3 && path[1] == u':')
        path.prepend(QStringLiteral("\\\\?\\"));
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(hostPath).toStdString());
#endif
}

#ifdef Q_OS_WIN
// A search of one folder with FindFirstFileExW. MinGW's directory_iterator reads through a
// buffer of MAX_PATH characters and cannot open a longer path even in the extended form; the
// search can, and it gives each entry's kind with its name, where the iterator would ask the
// file system once more for every entry.
class FolderSearch
{
public:
    explicit FolderSearch(const QString &hostFolder)
    {
        std::wstring pattern = toPath(hostFolder).native();
        if (!pattern.ends_with(L'\\'))
            pattern += L'\\';
        pattern += L'*';
        m_handle = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &m_found,
                                    FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (m_handle == INVALID_HANDLE_VALUE)
            m_error = GetLastError();
        m_pending = m_error == ERROR_SUCCESS;
    }
    ~FolderSearch()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            FindClose(m_handle);
    }
    FolderSearch(const FolderSearch &) = delete;
    FolderSearch &operator=(const FolderSearch &) = delete;

    // The next entry, if any: its name, and whether it is a folder.
    bool next(QString &name, bool &isFolder)
    {
        if (!m_pending)
            return false;
        name = QString::fromWCharArray(m_found.cFileName);
        isFolder = m_found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        m_pending = FindNextFileW(m_handle, &m_found);
        if (!m_pending && GetLastError() != ERROR_NO_MORE_FILES)
            m_error = GetLastError();
        return true;
    }

    // What ended the search early, as the error codes of the rest of this file.
    std::error_code error() const
    {
        switch (m_error) {
        case ERROR_SUCCESS:
        // A drive's empty root has not even "." and "..".
        case ERROR_FILE_NOT_FOUND:
            return {};
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_NAME:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_FILENAME_EXCED_RANGE:
            return std::make_error_code(std::errc::filename_too_long);
        default:
            return std::make_error_code(std::errc::io_error);
        }
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW m_found {};
    DWORD m_error = ERROR_SUCCESS;
    bool m_pending = false;
};

bool canOpen(const QString &hostFolder)
{
    return !FolderSearch(hostFolder).error();
}

// The names of the files and of the folders directly in a host folder that drive form can
// carry, unsorted; the error that ended the reading, if any.
std::error_code readFolder(const QString &hostFolder, QStringList &files, QStringList &folders)
{
    FolderSearch search(hostFolder);
    QString name;
    bool isFolder = false;
    while (search.next(name, isFolder))
        if (carriable(name))
            (isFolder ? folders : files) << name;
    return search.error();
}
#else
// The name of a folder entry; none when the host's bytes do not survive the way through text
// and back (a name in another encoding could then never be opened again).
std::optional<QString> nameOf(const fs::path &entry)
{
    // A listed entry's path is the folder's path, "/" and the name: cutting it is much cheaper
    // than filename(), which parses the whole path again.
    const std::string &path = entry.native();
    const std::size_t start = path.rfind('/') + 1;
    const QByteArray bytes = QByteArray::fromRawData(path.data() + start, path.size() - start);
    const QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes || !carriable(name))
        return std::nullopt;
    return name;
}

bool canOpen(const QString &hostFolder)
{
    std::error_code ec;
    const fs::directory_iterator listing(toPath(hostFolder), ec);
    return !ec;
}

std::error_code readFolder(const QString &hostFolder, QStringList &files, QStringList &folders)
{
    std::error_code ec;
    for (fs::directory_iterator it(toPath(hostFolder), ec), end; !ec && it != end;
         it.increment(ec)) {
        const auto name = nameOf(it->path());
        std::error_code typeError;
        if (!name)
            continue;
        if (it->is_directory(typeError))
            folders << *name;
        else if (it->is_regular_file(typeError))
            files << *name;
    }
    return ec;
}
#endif

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

DriveTable DriveTable::machine()
{
#ifdef Q_OS_WIN
    QList<Entry> entries;
    for (const QFileInfo &root : QDir::drives())
        entries.append({root.path().left(2).toUpper(), root.path()});
    return DriveTable(entries);
#else
    QList<Volume> volumes;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes())
        volumes.append(
            {QFile::decodeName(v.device()), v.rootPath(), QString::fromLatin1(v.fileSystemType())});
    return fromVolumes(volumes);
#endif
}

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
    if (!std::all_of(names.cbegin(), names.cend(), carriable))
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
        const bool holds = path.compare(root, hostCase) == 0 || path.startsWith(prefix, hostCase);
        if (holds && (!best || root.size() > QDir::cleanPath(best->hostPath).size())) {
            best = &e;
            below = path.mid(qMin(prefix.size(), path.size()));
        }
    }
    if (!best)
        return std::nullopt;
    const QStringList names = below.split(u'/', Qt::SkipEmptyParts);
    if (!std::all_of(names.cbegin(), names.cend(), carriable))
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
    return canOpen(*host);
}

FileSystem::Folder HostFileSystem::GetFolder(const QString &path) const
{
    const auto folder = drivepath::folderAt(path);
    const auto host = folder ? m_drives.toHost(folder->Path) : std::nullopt;
    if (!host)
        throw WakewellError(errors::pathNotFound);
    std::error_code ec;
    if (!fs::is_directory(toPath(*host), ec))
        fail(ec ? ec : std::make_error_code(std::errc::not_a_directory));
    return *folder;
}

HostFileSystem::Listing HostFileSystem::list(const Folder &folder) const
{
    const auto host = m_drives.toHost(folder.Path);
    if (!host)
        throw WakewellError(errors::pathNotFound);
    Listing listing;
    if (const std::error_code ec = readFolder(*host, listing.files, listing.folders))
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

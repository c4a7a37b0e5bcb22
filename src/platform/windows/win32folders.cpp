// SPDX-License-Identifier: GPL-3.0-or-later
// The host's folders on Windows: names without case, drive letters, long paths.
#include "platform/host/hostfilesystem.h"
#include "platform/host/hostfolders.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

const Qt::CaseSensitivity hostfolders::nameCase = Qt::CaseInsensitive;

// A colon names a drive or a stream.
bool hostfolders::splitsName(QChar c)
{
    return c == u':';
}

std::filesystem::path hostfolders::toPath(const QString &hostPath)
{
    // The extended form (\\?\C:\...) reaches past MAX_PATH, 260 characters, where music
    // folders do lie. It takes only absolute paths with backslashes, as the drive table's
    // become; a drive's root stays as it is, since msvcrt's stat() refuses its extended form.
    QString path = QDir::toNativeSeparators(hostPath);
    if (path.size() > 3 && path[1] == u':')
        path.prepend(QStringLiteral("\\\\?\\"));
    return std::filesystem::path(path.toStdWString());
}

namespace {

// A search of one folder with FindFirstFileExW. MinGW's directory_iterator reads through a
// buffer of MAX_PATH characters and cannot open a longer path even in the extended form; the
// search can, and it gives each entry's kind with its name, where the iterator would ask the
// file system once more for every entry.
class FolderSearch
{
public:
    explicit FolderSearch(const QString &hostFolder)
    {
        std::wstring pattern = hostfolders::toPath(hostFolder).native();
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

} // namespace

bool hostfolders::canOpen(const QString &hostFolder)
{
    return !FolderSearch(hostFolder).error();
}

std::error_code hostfolders::read(const QString &hostFolder, QStringList &files,
                                  QStringList &folders)
{
    FolderSearch search(hostFolder);
    QString name;
    bool isFolder = false;
    while (search.next(name, isFolder))
        if (hostfolders::carriable(name))
            (isFolder ? folders : files) << name;
    return search.error();
}

DriveTable DriveTable::machine()
{
    QList<Entry> entries;
    for (const QFileInfo &root : QDir::drives())
        entries.append({root.path().left(2).toUpper(), root.path()});
    return DriveTable(entries);
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/filesystem.h"

#include <QRegularExpression>

std::optional<FileSystem::Folder> FileSystem::Folder::ParentFolder() const
{
    if (Name.isEmpty())
        return std::nullopt;
    return drivepath::folderAt(Path.left(Path.lastIndexOf(u'\\')));
}

FileSystem::Content FileSystem::FilesAndSubFolders(const Folder &folder) const
{
    return {Files(folder), SubFolders(folder)};
}

QString drivepath::fileName(const QString &path)
{
    return path.mid(path.lastIndexOf(u'\\') + 1);
}

QString drivepath::join(const QString &folderPath, const QString &name)
{
    // Built in one allocation: a listing joins every file of a folder.
    QString path;
    path.reserve(folderPath.size() + 1 + name.size());
    path += folderPath;
    if (!folderPath.endsWith(u'\\'))
        path += u'\\';
    path += name;
    return path;
}

std::optional<FileSystem::Folder> drivepath::folderAt(const QString &path)
{
    static const QRegularExpression form(QStringLiteral(R"(^([A-Za-z]:)((?:\\[^\\]+)*)\\?$)"));
    const auto match = form.match(path);
    if (!match.hasMatch())
        return std::nullopt;
    const QString drive = match.captured(1).toUpper();
    const QString below = match.captured(2);
    const QStringList parts = below.split(u'\\', Qt::SkipEmptyParts);
    if (parts.contains(QStringLiteral(".")) || parts.contains(QStringLiteral("..")))
        return std::nullopt;
    if (below.isEmpty())
        return FileSystem::Folder {drive + u'\\', QString()};
    return FileSystem::Folder {drive + below, parts.last()};
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The host's folders on Linux: names in bytes with case, one root, the mounted volumes.
#include "platform/host/hostfilesystem.h"
#include "platform/host/hostfolders.h"

#include <QFile>
#include <QStorageInfo>

const Qt::CaseSensitivity hostfolders::nameCase = Qt::CaseSensitive;

bool hostfolders::splitsName(QChar)
{
    return false;
}

std::filesystem::path hostfolders::toPath(const QString &hostPath)
{
    return std::filesystem::path(QFile::encodeName(hostPath).toStdString());
}

namespace {

// The name of a folder entry; none when the host's bytes do not survive the way through text
// and back (a name in another encoding could then never be opened again).
std::optional<QString> nameOf(const std::filesystem::path &entry)
{
    // A listed entry's path is the folder's path, "/" and the name: cutting it is much cheaper
    // than filename(), which parses the whole path again.
    const std::string &path = entry.native();
    const std::size_t start = path.rfind('/') + 1;
    const QByteArray bytes = QByteArray::fromRawData(path.data() + start, path.size() - start);
    const QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes || !hostfolders::carriable(name))
        return std::nullopt;
    return name;
}

} // namespace

bool hostfolders::canOpen(const QString &hostFolder)
{
    std::error_code ec;
    const std::filesystem::directory_iterator listing(toPath(hostFolder), ec);
    return !ec;
}

std::error_code hostfolders::read(const QString &hostFolder, QStringList &files,
                                  QStringList &folders)
{
    std::error_code ec;
    for (std::filesystem::directory_iterator it(toPath(hostFolder), ec), end; !ec && it != end;
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

DriveTable DriveTable::machine()
{
    QList<Volume> volumes;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes())
        volumes.append(
            {QFile::decodeName(v.device()), v.rootPath(), QString::fromLatin1(v.fileSystemType())});
    return fromVolumes(volumes);
}

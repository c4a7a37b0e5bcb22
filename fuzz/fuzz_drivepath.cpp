// SPDX-License-Identifier: GPL-3.0-or-later
// Drive-form paths as a user's folders can spell them: the cut of a file name from a path,
// and the folder value (with its chain of parents) that a path names.
#include "platform/filesystem.h"

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    const QString name = drivepath::fileName(path);
    check(!name.contains(u'\\'));
    check(path.endsWith(name));
    if (path.contains(u'\\'))
        check(path.size() > name.size() && path.at(path.size() - name.size() - 1) == u'\\');
    else
        check(name == path);

    const auto folder = drivepath::folderAt(path);
    if (!folder)
        return 0;
    // A folder never names a place outside its drive: no "." or ".." steps, and walking up
    // its parents ends at the drive's root after one step per component.
    const QStringList parts = folder->Path.mid(3).split(u'\\', Qt::SkipEmptyParts);
    check(!parts.contains(QStringLiteral("..")) && !parts.contains(QStringLiteral(".")));
    check(folder->Name.isEmpty() == parts.isEmpty());
    auto at = folder;
    for (qsizetype steps = 0; steps < parts.size(); ++steps) {
        check(at.has_value() && at->Path.startsWith(folder->Path.left(3)));
        at = at->ParentFolder();
    }
    check(at.has_value() && at->Name.isEmpty() && at->Path == folder->Path.left(3));
    check(!at->ParentFolder().has_value());
    return 0;
}

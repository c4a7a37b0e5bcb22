// SPDX-License-Identifier: GPL-3.0-or-later
// The drive table both ways: a drive-form path never maps outside its drive's folder, and a
// host path maps to a drive-form path that leads back to the same place.
#include "platform/host/hostfilesystem.h"

#include <QDir>

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool condition)
{
    if (!condition)
        std::abort();
}

const QString musicRoot = QStringLiteral("/srv/music");

bool inside(const QString &hostPath, const QString &root)
{
    return hostPath == root || hostPath.startsWith(root == u'/' ? root : root + u'/');
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const DriveTable table(
        {{QStringLiteral("C:"), QStringLiteral("/")}, {QStringLiteral("D:"), musicRoot}});
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));

    if (const auto host = table.toHost(text)) {
        // The result is already clean: no "." or ".." step could climb out of the drive.
        check(QDir::cleanPath(*host) == *host);
        if (text.startsWith(QLatin1String("D:")))
            check(inside(*host, musicRoot));
        const auto back = table.toDrive(*host);
        check(back.has_value() && table.toHost(*back) == host);
    }

    const QString hostPath = u'/' + text;
    if (const auto drivePath = table.toDrive(hostPath)) {
        const auto host = table.toHost(*drivePath);
        check(host.has_value() && *host == QDir::cleanPath(hostPath));
    }
    return 0;
}

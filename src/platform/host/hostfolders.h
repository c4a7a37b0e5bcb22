// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <system_error>

// What reading the host's folders takes that differs from one system to the other; each
// system's folder of src/platform defines it (posixfolders.cpp, win32folders.cpp), with
// DriveTable::machine().
namespace hostfolders {
// How the host compares names.
extern const Qt::CaseSensitivity nameCase;
// A character that the host reads as more than a part of a name, besides the separators and
// the control characters that every system refuses.
bool splitsName(QChar c);
// A name that stands for exactly one entry of a folder, both in drive form and on the host.
bool carriable(const QString &name);
// A host path as the C++ library takes it.
std::filesystem::path toPath(const QString &hostPath);
// The folder's listing can be opened.
bool canOpen(const QString &hostFolder);
// The names of the files and of the folders directly in a host folder that drive form can
// carry, unsorted; the error that ended the reading, if any.
std::error_code read(const QString &hostFolder, QStringList &files, QStringList &folders);
} // namespace hostfolders

// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/browser.h"

#include "main/frmplayer.h"
#include "platform/error.h"

#include <cstdint>
#include <limits>

namespace {

// Appends entries to lstFiles up to the most a 16-bit position can count; past that the
// listing ends with "Overflow", and what was listed stays.
void appendEntries(QListWidget &list, const QStringList &entries)
{
    const qsizetype room = std::numeric_limits<std::int16_t>::max() - list.count();
    list.addItems(entries.mid(0, room));
    if (entries.size() > room)
        throw WakewellError(errors::overflow);
}

// The listing step: the folder's files whose full path holds the filter (case kept, anywhere
// in the path), by name; then its subfolders, by full path.
void listFolder(frmPlayer &f, const FileSystem::Folder &folder, const QString &filter)
{
    const FileSystem::Content content = f.fso().FilesAndSubFolders(folder);
    QStringList files;
    for (const FileSystem::File &file : content.files)
        if (file.Path.contains(filter, Qt::CaseSensitive))
            files << file.Name;
    appendEntries(*f.lstFiles, files);
    QStringList folders;
    for (const FileSystem::Folder &sub : content.subFolders)
        folders << sub.Path;
    appendEntries(*f.lstFiles, folders);
}

} // namespace

bool browser::isFolderEntry(const QString &text)
{
    return text.contains(QStringLiteral(":\\"));
}

void browser::cmbDrivesActivated(frmPlayer &f)
{
    f.lstFiles->clear();
    const QString drive = f.cmbDrives->currentText();
    if (drive.isEmpty())
        return;
    f.strDrive = drive;
    f.strFolder.clear();
    if (f.fso().IsReady(drive))
        listFolder(f, f.fso().RootFolder(drive), QStringLiteral("mp3"));
    else
        f.report(QStringLiteral("Drives not ready"));
}

void browser::lstFilesClicked(frmPlayer &f)
{
    if (f.lstFiles->selectedItems().size() > 1)
        return;
    const QListWidgetItem *current = f.lstFiles->currentItem();
    if (!current || !isFolderEntry(current->text()))
        return;
    const FileSystem::Folder folder = f.fso().GetFolder(current->text());
    f.lstFiles->clear();
    f.strFolder += u'\\' + folder.Name;
    listFolder(f, folder, QStringLiteral(".mp3"));
}

void browser::cmdUpClicked(frmPlayer &f)
{
    if (f.strDrive.isEmpty())
        return;
    const FileSystem::Folder shown = f.fso().GetFolder(f.strDrive + f.strFolder);
    f.strFolder.truncate(qMax(0, f.strFolder.lastIndexOf(u'\\')));
    f.lstFiles->clear();
    listFolder(f, shown.ParentFolder().value_or(shown), QStringLiteral("mp3"));
}

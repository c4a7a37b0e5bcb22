#include "playlist/playlist.h"

#include "main/frmplayer.h"

namespace {
bool isFolderEntry(const QListWidgetItem *item)
{
    return item && item->text().contains(QStringLiteral(":\\"));
}
} // namespace

void playlist::cmdAddClicked(frmPlayer &f)
{
    if (isFolderEntry(f.lstFiles->currentItem()))
        return;
    for (int i = 0; i < f.lstFiles->count(); ++i) {
        const QListWidgetItem *entry = f.lstFiles->item(i);
        // A selected folder entry that is not the current item would name no file.
        if (!entry->isSelected() || isFolderEntry(entry))
            continue;
        // Add() checks for room first, so an "Overflow" leaves both lists in step.
        f.colPlaylist().Add(f.strDrive + f.strFolder + u'\\' + entry->text());
        f.lstSelected->addItem(entry->text());
    }
}

void playlist::cmdRemoveClicked(frmPlayer &f)
{
    for (;;) {
        const QModelIndexList selected = f.lstSelected->selectionModel()->selectedRows();
        if (selected.isEmpty())
            return;
        int i = selected.first().row();
        for (const QModelIndex &index : selected)
            i = qMin(i, index.row());
        f.colPlaylist().Remove(i + 1);
        delete f.lstSelected->takeItem(i);
    }
}

void playlist::cmdClearClicked(frmPlayer &f)
{
    for (int k = f.colPlaylist().Count(); k >= 1; --k)
        f.colPlaylist().Remove(k);
    f.lstSelected->clear();
}

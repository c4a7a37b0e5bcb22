// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist.h"

#include "browser/browser.h"
#include "main/frmplayer.h"

#include <algorithm>

void playlist::cmdAddClicked(frmPlayer &f)
{
    const QListWidgetItem *current = f.lstFiles->currentItem();
    if (current && browser::isFolderEntry(current->text()))
        return;
    for (int i = 0; i < f.lstFiles->count(); ++i) {
        const QListWidgetItem *entry = f.lstFiles->item(i);
        // A selected folder entry that is not the current item would name no file.
        if (!entry->isSelected() || browser::isFolderEntry(entry->text()))
            continue;
        // Add() checks for room first, so an "Overflow" leaves both lists in step.
        f.colPlaylist().Add(f.strDrive + f.strFolder + u'\\' + entry->text());
        f.lstSelected->addItem(entry->text());
    }
}

void playlist::cmdRemoveClicked(frmPlayer &f)
{
    QItemSelectionModel &selection = *f.lstSelected->selectionModel();
    while (selection.hasSelection()) {
        const QModelIndexList rows = selection.selectedRows();
        const int i = std::min_element(rows.cbegin(), rows.cend())->row();
        f.colPlaylist().Remove(i + 1);
        // A single-selection view selects a neighbour when its current item is removed;
        // that would make this loop take every song after it, and then the rest.
        selection.clearCurrentIndex();
        delete f.lstSelected->takeItem(i);
    }
}

void playlist::cmdClearClicked(frmPlayer &f)
{
    for (int k = f.colPlaylist().Count(); k >= 1; --k)
        f.colPlaylist().Remove(k);
    f.lstSelected->clear();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/windowtest.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>

// The window over fakes with a playlist of three songs, C:\Music\a.mp3, b.mp3 and c.mp3,
// built by clicks; the player's calls so far are forgotten.
class PlaybackTest : public WindowTest
{
protected:
    static QString song(const char *name) { return QStringLiteral("C:\\Music\\") + name; }
    static QString opened(const char *name) { return QStringLiteral("Open ") + song(name); }

    void startWithThreeSongs()
    {
        m_fs.addDrive("C:");
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3"})
            m_fs.addFile(song(name));
        start();
        addToPlaylist("C:\\Music", {"a.mp3", "b.mp3", "c.mp3"});
        m_record.calls.clear();
    }

    void click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    // A double click on the row of lstSelected, or on the empty list when there is none.
    void doubleClickRow(int row)
    {
        auto *list = child<QListWidget>("lstSelected");
        QPoint at = list->viewport()->rect().center();
        if (QListWidgetItem *item = list->item(row)) {
            list->scrollToItem(item);
            at = list->visualItemRect(item).center();
        }
        // A double click arrives as press, release, double click, release; QTest's
        // mouseDClick sends only the third, which a list view takes for a press.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }

    // The song plays to its end and Timer1 ticks.
    void endSong()
    {
        player().finishSong();
        timeout(m_window->Timer1);
    }

    bool timer1On() const { return child<QTimer>("Timer1")->isActive(); }
    QString txtSong() const { return child<QLineEdit>("txtSong")->text(); }
    QString title() const { return m_window->windowTitle(); }
    // Add, Remove and Clear are always switched together.
    bool playlistButtonsEnabled() const
    {
        const bool add = child<QPushButton>("cmdAdd")->isEnabled();
        if (child<QPushButton>("cmdRemove")->isEnabled() != add
            || child<QPushButton>("cmdClear")->isEnabled() != add)
            qFatal("the playlist buttons disagree");
        return add;
    }
    // Messages are opened once the handler has returned: give them the chance first.
    bool errorBoxShown() const
    {
        QCoreApplication::processEvents();
        return m_window->messageBox() != nullptr;
    }
};
